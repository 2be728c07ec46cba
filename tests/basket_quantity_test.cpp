// The quantity rule of the adding commands and of the basket table's edit.
#include <gtest/gtest.h>

#include "basket/quantity.h"

namespace {

struct QuantityCase {
    std::string text;
    bool accepted;    // by the adding commands: present, not zero, characters
    bool characters;  // by the character rule alone, as the edit uses it
};

TEST(Quantity, AddingCheckAndCharacterRule) {
    const QuantityCase cases[] = {
        {"1", true, true},
        {"1.5", true, true},
        {" 2", true, true},        // the blank stays part of the quantity
        {"3.", true, true},
        {"1,5", false, false},     // a comma is punctuation and no point follows it
        {"-1", false, false},      // so is the minus sign
        {"-1.5", false, true},     // the point makes the mark good again, but no count is negative
        {"+3", false, false},
        {"2a.5", true, true},      // only what follows the last point decides
        {"2.5a", false, false},
        {"2 pcs", false, false},
        {"1e3", false, false},
        {".-", false, false},
        {"0", false, true},        // zero and empty text remove a line in the edit
        {"", false, true},
        {"0.0", false, true},
        {"-0", false, false},
        {"-.", false, true},
        {"abc", false, false},
        {"3\t", true, true},       // control characters are neither letters nor punctuation
        {"3\xe9", true, true},     // nor are characters above 127
        {"\xc3\xa9" "4", false, true},  // reads as no number
        {std::string(259, '1'), true, true},
        {std::string(260, '1'), false, false},  // longer than a quantity may be
    };
    for (const QuantityCase& c : cases) {
        EXPECT_EQ(quantity_accepted(c.text), c.accepted) << '"' << c.text << '"';
        EXPECT_EQ(quantity_characters_pass(c.text), c.characters) << '"' << c.text << '"';
    }
    EXPECT_FALSE(quantity_accepted(std::nullopt));
}

TEST(Quantity, EveryPrintableCharacterClass) {
    for (int c = 0; c < 256; ++c) {
        const std::string text = std::string("1") + static_cast<char>(c);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool punctuation = c > ' ' && c < 127 && !letter && !(c >= '0' && c <= '9') && c != '.';
        EXPECT_EQ(quantity_characters_pass(text), !letter && !punctuation) << c;
    }
}

}  // namespace
