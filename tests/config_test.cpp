// The configuration reader: which lines of tavra.cfg it takes.
#include <gtest/gtest.h>

#include "request/config.h"

TEST(ConfigReader, ReadsPrefixedLinesAfterTheSectionLine) {
    Config c;
    ASSERT_EQ(parse_config("webdir=/early/\n[Program Config]\r\n"
                           "webdir=/first/\r\n"
                           "shiptable=s.ini\r\n"
                           "name=Shop  \r\n"
                           " tax=0.1\r\n"
                           "email =x\r\n"
                           "webdir=\r\n"
                           "[Order Control]\r\n"
                           "email=on\r\n"
                           "invnumber=" + std::string(300, '7') + "\n",
                           c),
              ConfigRead::ok);
    EXPECT_EQ(c.webdir, "");
    EXPECT_EQ(c.shiptable, "s.ini");
    EXPECT_EQ(c.table, "");
    EXPECT_EQ(c.name, "Shop  ");
    EXPECT_EQ(c.tax, "");
    EXPECT_EQ(c.email, "on");
    EXPECT_EQ(c.invnumber, std::string(255, '7'));
}

TEST(ConfigReader, NeedsTheExactSectionLine) {
    Config c;
    EXPECT_EQ(parse_config("", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[program config]\nwebdir=x\n", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[Program Config] \nwebdir=x\n", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[Program Config]", c), ConfigRead::ok);
}
