// The order tables a confirmation appends: exact lines, read back as CSV.
#include <gtest/gtest.h>

#include "checkout/csv.h"
#include "order_shop.h"

namespace {

const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";

std::string tables_at(const OrderShop& shop) {
    return "tables=on\ncustomer=" + shop.path("customers.csv") + "\norder=" + shop.path("orders.csv") +
           "\nshipment=" + shop.path("shipments.csv") + "\n";
}

std::vector<std::size_t> widths(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> sizes;
    for (const auto& row : rows) sizes.push_back(row.size());
    return sizes;
}

}  // namespace

TEST(Csv, QuotesOnlyFieldsThatWouldShiftColumns) {
    const struct {
        const char* value;
        const char* field;
    } cases[] = {
        {"", ""},
        {"Blue Mug", "Blue Mug"},
        {" spaced ", " spaced "},
        {"12 Long Road, Flat 3", "\"12 Long Road, Flat 3\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\rparts", "\"two\rparts\""},
        {"two\nlines", "\"two\nlines\""},
    };
    std::vector<std::string> values;
    for (const auto& c : cases) {
        EXPECT_EQ(csv_field(c.value), c.field) << c.value;
        values.push_back(c.value);
    }
    // A whole line reads back as the values it was made of.
    EXPECT_EQ(read_csv(csv_line(values)), std::vector<std::vector<std::string>>{values});
}

TEST(Export, AppendsCustomerOrderAndShipmentLinesUnderTheAdvancedNumber) {
    OrderShop shop;
    shop.put("tavra.cfg", shop.config_with("1000", tables_at(shop)));
    shop.put_basket(kBasketName, kSampleBasket);
    ASSERT_EQ(shop.confirm().out, kRedirect);

    auto customer = [](const std::string& n) {
        return n + ",Ana,Q,Berg,\"12 Long Road, Flat 3\",,Springfield,OR,US,97477,555-0100,555-0101,"
                   "ana@example.org,Ana Q Berg,41111111111111112222,,05,99,predetermined\n";
    };
    auto orders = [](const std::string& n) {
        return n + ",Blue Mug,M-100,7.50,1.50,2\n" + n + ",\"Tea, \"\"Green\"\"\",T-7,4.00,0.50,0\n";
    };
    // Option lines first, then one line per extra charge, ticked or not.
    auto shipments = [](const std::string& n) {
        return n + ",Gift wrap,1.20,26.70,,,\n" + n + ",\"Leave at \"\"side\"\" door\",1.20,26.70,,,\n" + n +
               ",,,,5,,Express handling\n" + n + ",,,,,,\n";
    };
    EXPECT_EQ(shop.get("customers.csv"), customer("1001"));
    EXPECT_EQ(shop.get("orders.csv"), orders("1001"));
    EXPECT_EQ(shop.get("shipments.csv"), shipments("1001"));

    const auto customer_rows = read_csv(shop.get("customers.csv"));
    EXPECT_EQ(widths(customer_rows), std::vector<std::size_t>{19});
    EXPECT_EQ(customer_rows[0][4], "12 Long Road, Flat 3");
    const auto order_rows = read_csv(shop.get("orders.csv"));
    EXPECT_EQ(widths(order_rows), (std::vector<std::size_t>{6, 6}));
    EXPECT_EQ(order_rows[1][1], "Tea, \"Green\"");
    EXPECT_EQ(widths(read_csv(shop.get("shipments.csv"))), (std::vector<std::size_t>{7, 7, 7, 7}));

    // A second confirmation of the basket, summarised again, is a second order.
    shop.put_basket(kBasketName, kSampleBasket);
    ASSERT_EQ(shop.confirm().out, kRedirect);
    EXPECT_EQ(shop.get("customers.csv"), customer("1001") + customer("1002"));
    EXPECT_EQ(shop.get("orders.csv"), orders("1001") + orders("1002"));
    EXPECT_EQ(shop.get("shipments.csv"), shipments("1001") + shipments("1002"));
}

TEST(Export, RunsOnlyWhenSwitchedOnExactly) {
    for (const char* word : {"On", "yes"}) {
        OrderShop shop;
        std::string control = tables_at(shop);
        control.replace(0, std::string("tables=on").size(), std::string("tables=") + word);
        shop.put("tavra.cfg", shop.config_with("1000", control));
        shop.put_basket(kBasketName, kSampleBasket);
        EXPECT_EQ(shop.confirm().out, kRedirect) << word;
        EXPECT_FALSE(shop.exists("customers.csv")) << word;
        EXPECT_FALSE(shop.exists("orders.csv")) << word;
        EXPECT_FALSE(shop.exists("shipments.csv")) << word;
    }
}

TEST(Export, ReportsTablesThatCannotBeOpenedBeforeTheRedirect) {
    OrderShop shop;
    // No customer table named, the order table in a missing folder.
    shop.put("tavra.cfg", shop.config_with("1000", "tables=on\norder=" + shop.path("gone/orders.csv") +
                                                       "\nshipment=" + shop.path("shipments.csv") + "\n"));
    shop.put_basket(kBasketName, kSampleBasket);
    Reply r = shop.confirm();
    EXPECT_EQ(r.out, "Could not open \nCould not open " + shop.path("gone/orders.csv") + "\n" + kRedirect);
    EXPECT_EQ(read_csv(shop.get("shipments.csv")).size(), 4u);
    EXPECT_TRUE(shop.exists("batch/0.imp"));
}
