// An install tree ready for order confirmations: a stand-in mailer that
// records what it is given, the "Order Control" switches, and basket files
// written directly.
#pragma once
#include <string>
#include <vector>

#include "harness.h"

// One run of the stand-in mailer: its argument list (argument 0 is the file
// it was started as) and the text of the mail file it was handed.
struct MailerRun {
    std::vector<std::string> argv;
    std::string mail;
};

// A basket of two lines (the second with quantity 0), the shopper's details,
// two options, two extra-charge slots of which the first is ticked, and the
// "Total" section and summary mark step 4 leaves. Values hold commas and
// quotes.
extern const char* const kSampleBasket;
constexpr const char* kBasketName = "basket/1000.1250";

class OrderShop : public Install {
public:
    // `order_control` is the body of the "[Order Control]" section.
    explicit OrderShop(const std::string& order_control = "tables=on\nemail=on\n");

    // The stand-in mailer as blat.exe: records every run in blat.log.
    void put_mailer() const;

    // The configuration: the default one with "invnumber=" set and the
    // "[Order Control]" section after it.
    std::string config_with(const std::string& invnumber, const std::string& order_control) const;

    void put_basket(const std::string& name, const std::string& content) const;
    std::string basket_file(const std::string& name) const;

    Reply confirm(const std::string& basket = kBasketName) const;

    std::vector<std::string> mail_files() const;  // names in mail/, sorted
    std::vector<MailerRun> mailer_runs() const;
};

// The rows of a comma-separated text, read as RFC 4180 says.
std::vector<std::vector<std::string>> read_csv(const std::string& text);
