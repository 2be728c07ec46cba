// Payment records and their counters, appended in-process to a scratch tree.
#include <gtest/gtest.h>

#include "checkout/batch.h"
#include "harness.h"
#include "request/shop.h"
#include "platform/profile.h"

namespace {

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile::forget_all();
        shop.program_dir = tree.root() + "/";
        shop.config.batchfile = tree.path("batch/");
    }
    void TearDown() override { profile::forget_all(); }

    void append(std::string_view card = "4111", std::string_view total = "26.70") {
        append_batch_record(shop, card, "05", "99", "P", total);
        profile::forget_all();
    }

    Install tree;
    Shop shop;
};

std::string counters(int file, int last) {
    return "[BatchConfig]\nFile=" + std::to_string(file) + "\nLast=" + std::to_string(last) + "\n";
}

}  // namespace

TEST_F(BatchTest, FillsAFileWith451RecordsThenBeginsTheNext) {
    const struct {
        const char* before;  // counters file, or nothing
        const char* written_to;
        int file, last;      // counters after
    } cases[] = {
        {nullptr, "batch/0.imp", 0, 1},
        {"[BatchConfig]\nFile=3\nLast=450\n", "batch/3.imp", 3, 451},
        {"[BatchConfig]\nFile=3\nLast=451\n", "batch/4.imp", 4, 1},
        {"[BatchConfig]\nFile=7\nLast=9000\n", "batch/8.imp", 8, 1},
    };
    for (const auto& c : cases) {
        tree.remove("batch");
        tree.put("batch/.keep", "");
        if (c.before) tree.put("batchcfg.ini", c.before);
        else tree.remove("batchcfg.ini");
        append();
        EXPECT_EQ(tree.get(c.written_to), "4111,0599,P,26.70\n") << c.written_to;
        EXPECT_EQ(tree.get("batchcfg.ini"), counters(c.file, c.last)) << c.written_to;
    }
}

TEST_F(BatchTest, CrossesTheBoundaryOnceInARunOfRecords) {
    tree.put("batchcfg.ini", "[BatchConfig]\nFile=2\nLast=449\n");
    for (int i = 0; i < 4; ++i) append();
    const std::string record = "4111,0599,P,26.70\n";
    EXPECT_EQ(tree.get("batch/2.imp"), record + record);
    EXPECT_EQ(tree.get("batch/3.imp"), record + record);
    EXPECT_EQ(tree.get("batchcfg.ini"), counters(3, 2));
}

TEST_F(BatchTest, WritesFieldsAsGivenAndQuotesOnlyWhatWouldShiftColumns) {
    const struct {
        const char* card;
        const char* total;
        const char* record;
    } cases[] = {
        {"4111", "", "4111,0599,P,\n"},
        {"41,11", "26.70", "\"41,11\",0599,P,26.70\n"},
        {"4111", "2\"6", "4111,0599,P,\"2\"\"6\"\n"},
    };
    for (const auto& c : cases) {
        tree.remove("batch/0.imp");
        tree.remove("batchcfg.ini");
        append(c.card, c.total);
        EXPECT_EQ(tree.get("batch/0.imp"), c.record) << c.card;
    }
}

TEST_F(BatchTest, CountersAdvanceWhenTheBatchFileCannotBeOpened) {
    shop.config.batchfile = tree.path("no-such-folder/");
    append();
    EXPECT_FALSE(tree.exists("no-such-folder"));
    EXPECT_EQ(tree.get("batchcfg.ini"), counters(0, 1));
}
