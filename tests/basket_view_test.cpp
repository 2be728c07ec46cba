// The basket view and the price of an order: what each reader takes from a
// basket file, and the totals the table and the summary show.
#include <gtest/gtest.h>

#include "formats/basket_view.h"
#include "formats/order_price.h"
#include "harness.h"
#include "platform/profile.h"

namespace {

BasketView view_of(const std::string& text) {
    TempFolder folder("tavra-view");
    folder.put("basket", text);
    profile::forget_all();
    BasketView view = load_basket(folder.path("basket"));
    profile::forget_all();
    return view;
}

TEST(BasketView, TakesEachFieldAtItsReadersLength) {
    const std::string long_name(300, 'n');
    const BasketView v = view_of(
        "[Basket]\nNumKeys=4\n[1]\nNAME=" + long_name + "\nITEM=T-1\nPRICE=1.50\nSHIP=0.25\nQUANTITY=2\n"
        "[3]\nNAME=Tin\nQUANTITY= 3 \n[5]\nNAME=beyond the count\n"
        "[Shipping]\nstpr= ca \nexpmo=1234\nexpyr=29\ncnum1=4111111111111111111111\ncnum2=sealed:x\ncnum2mask=***1\n"
        "[Optional]\nnumfields=2\noption1=gift\n"
        "[Additional]\nnumfields=20000\na1=2.5\na3=Wrap\na4=1\nA7=x\n"
        "[Total]\nTax=0.24\nTotal=123456789.00\n[Order State]\nstate=summarised\n");
    EXPECT_EQ(v.line_count, 4);
    ASSERT_EQ(v.lines.size(), 2u);  // 2 and 4 have no section, 5 lies beyond "NumKeys"
    EXPECT_EQ(v.lines[0].name, std::string(259, 'n'));
    EXPECT_EQ(v.lines[0].shown_name, std::string(79, 'n'));
    EXPECT_EQ(v.lines[0].price.number, 1.5);
    EXPECT_EQ(v.lines[1].number, 3);
    EXPECT_EQ(v.lines[1].quantity.text, " 3 ");
    EXPECT_FALSE(v.lines[1].quantity.valid());
    EXPECT_EQ(v.line(2).number, 2);
    EXPECT_EQ(v.line(2).name, "");
    EXPECT_EQ(v.line(3).name, "Tin");
    EXPECT_EQ(v.counted_lines(), 4);
    // The edit visits the stored lines and the form's, up to "NumKeys".
    EXPECT_EQ(v.lines_to_visit({2, 5, 6}), (std::vector<long long>{1, 2, 3}));

    EXPECT_EQ(v.checkout.stpr, " ca ");
    EXPECT_EQ(v.checkout.entry(basket_keys::kExpiryYear), "29");
    EXPECT_EQ(v.checkout.batch_expmo, "123");
    EXPECT_EQ(v.checkout.batch_cnum1, "411111111111111111");
    EXPECT_FALSE(v.checkout.cnum1_sealed);
    EXPECT_TRUE(v.checkout.cnum2_sealed);
    EXPECT_EQ(v.checkout.cnum2mask, "***1");

    EXPECT_EQ(v.options.counted(), 2);
    EXPECT_EQ(v.options.at(1), "gift");
    EXPECT_EQ(v.options.at(2), "");
    EXPECT_EQ(v.charges.count, 20000);
    EXPECT_EQ(v.charges.counted(), 10000);
    EXPECT_EQ(v.stored_charges(0), (std::vector<long long>{1, 4, 7}));  // keys match in any letter case
    EXPECT_EQ(v.stored_charges(2), (std::vector<long long>{1}));
    EXPECT_EQ(v.charge(1).number, 2.5);
    EXPECT_EQ(v.charge_description(1), "Wrap");

    EXPECT_EQ(v.totals.total, "123456789.00");
    EXPECT_EQ(v.batch_total, "12345678");
    EXPECT_EQ(v.state, OrderState::summarised);
}

TEST(BasketView, AMissingFileOrCountReadsAsAnEmptyBasket) {
    for (const char* text : {"", "[1]\nNAME=x\nQUANTITY=1\n", "[Basket]\nNumKeys=-3\n[1]\nQUANTITY=1\n"}) {
        const BasketView v = view_of(text);
        EXPECT_TRUE(v.lines.empty()) << text;
        EXPECT_LE(v.counted_lines(), 0) << text;
        EXPECT_EQ(v.state, OrderState::changed) << text;
        EXPECT_EQ(price_order(v).total_text, "0.00") << text;
    }
}

TEST(OrderPrice, PricesAsTheSummaryDoes) {
    const std::string lines =
        "[Basket]\nNumKeys=3\n[1]\nPRICE=18.00\nSHIP=2\nQUANTITY=2\n[2]\nPRICE=5\nSHIP=1\nQUANTITY=0\n"
        "[3]\nPRICE=0.25\nSHIP=0.10\nQUANTITY=3\n[Shipping]\nstpr= Ca\n";
    struct Case {
        const char* what;
        std::string extra;
        TaxInputs tax;
        ShippingInputs shipping;
        double subtotal, shipping_total, charges;
        const char* tax_text;
        const char* total_text;
    };
    using By = ShippingInputs::By;
    const Case cases[] = {
        {"table", "", {}, {}, 36.75, 0, 0, "0.00", "36.75"},
        {"tax asked", "", {true, {}, "0.08"}, {}, 36.75, 0, 0, "2.94", "39.69"},
        {"state listed", "", {false, {"ny", "CA"}, "0.2"}, {}, 36.75, 0, 0, "7.35", "44.10"},
        {"state not listed overrides the form", "", {true, {"NY"}, "0.2"}, {}, 36.75, 0, 0, "0.00", "36.75"},
        {"lines' shipping", "", {}, {By::lines, 0}, 36.75, 4.3, 0, "0.00", "41.05"},
        {"rules", "", {}, {By::rules, 4.5}, 36.75, 4.5, 0, "0.00", "41.25"},
        {"charges up to numfields", "[Additional]\nnumfields=4\na1=1.25\na3=Wrap\na4=2\na7=100\n", {}, {}, 36.75, 0,
         3.25, "0.00", "40.00"},
    };
    for (const Case& c : cases) {
        const OrderPrice p = price_order(view_of(lines + c.extra), c.tax, c.shipping);
        EXPECT_DOUBLE_EQ(p.subtotal, c.subtotal) << c.what;
        EXPECT_DOUBLE_EQ(p.shipping, c.shipping_total) << c.what;
        EXPECT_DOUBLE_EQ(p.charges, c.charges) << c.what;
        EXPECT_EQ(p.tax_text, c.tax_text) << c.what;
        EXPECT_EQ(p.total_text, c.total_text) << c.what;
    }
}

}  // namespace
