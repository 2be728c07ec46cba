#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "harness.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/profile_document.h"

using profile::Document;

TEST(ProfileDocument, ReadsWithoutRegardToCaseFirstSectionWins) {
    Document d = Document::parse(
        "; merchant's notes\r\n[Items]\r\nNAME=Mug\r\nname=second\r\n Price = 4.50 \r\n[items]\r\nship=9\r\n");
    EXPECT_EQ(d.get("items", "name"), "Mug");
    EXPECT_EQ(d.get("ITEMS", "price"), " 4.50 ");
    EXPECT_FALSE(d.get("items", "ship"));  // only the first [items] counts
    EXPECT_FALSE(d.get("none", "name"));
    EXPECT_FALSE(d.get("items", "; merchant's notes"));
}

TEST(ProfileDocument, CommentsAndLinesBeforeAnySectionAreNotKeys) {
    Document d = Document::parse("top=1\n[S]\n;k=v\nk2=v2\n=empty\n");
    EXPECT_FALSE(d.get("S", ";k"));
    EXPECT_FALSE(d.get("S", ""));
    EXPECT_EQ(d.get("S", "k2"), "v2");
}

TEST(ProfileDocument, WriteKeepsEveryOtherByte) {
    const std::string merchant =
        "; shop settings\r\n\r\n[Program Config]\r\nwebdir=/w/\r\ninvnumber=1000\r\nname=Shop  \r\n\r\n"
        "[Order Control]\r\ntables=on\r\n";
    Document d = Document::parse(merchant);
    EXPECT_EQ(d.text(), merchant);
    d.set("program config", "INVNUMBER", "1001");
    std::string want = merchant;
    want.replace(want.find("invnumber=1000"), 14, "invnumber=1001");
    EXPECT_EQ(d.text(), want);
}

TEST(ProfileDocument, NewKeysGoAfterTheSectionsLastKeyWithTheFilesLineEnds) {
    Document d = Document::parse("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
    d.set("a", "z", "3");
    d.set("B", "w", "4");
    d.set("New", "k", "v");
    EXPECT_EQ(d.text(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n[New]\r\nk=v\r\n");
}

TEST(ProfileDocument, EmptyDocumentGrowsSectionByKeyOrder) {
    Document d;
    d.set("Basket", "NumKeys", "1");
    d.set("1", "NAME", "Shirt ( Red, XL ) ");
    d.set("1", "QUANTITY", " 2");
    EXPECT_EQ(d.text(), "[Basket]\nNumKeys=1\n[1]\nNAME=Shirt ( Red, XL ) \nQUANTITY= 2\n");
    EXPECT_EQ(d.get("1", "name"), "Shirt ( Red, XL ) ");
    EXPECT_EQ(d.get("1", "quantity"), " 2");
}

TEST(ProfileDocument, RemoveTakesOnlyThatLine) {
    Document d = Document::parse("[S]\na=1\nb=2\nc=3\n");
    d.remove("s", "B");
    d.remove("s", "missing");
    d.remove("missing", "a");
    EXPECT_EQ(d.text(), "[S]\na=1\nc=3\n");
}

TEST(ProfileDocument, LineBreaksInValuesBecomeSpaces) {
    Document d;
    d.set("S", "k", "a\r\nb\rc\nd\n[Evil]\ninjected=1");
    EXPECT_EQ(d.get("S", "k"), "a b c d [Evil] injected=1");
    EXPECT_FALSE(Document::parse(d.text()).get("Evil", "injected"));
}

namespace {

class ProfileStore : public ::testing::Test {
protected:
    void SetUp() override { profile::forget_all(); }
    void TearDown() override { profile::forget_all(); }
    std::string path(const std::string& name) const { return folder_.path(name); }
    std::string contents(const std::string& name) const { return folder_.get(name); }
    void put(const std::string& name, const std::string& text) const { folder_.put(name, text); }
    const TempFolder folder_{"tavra-profile"};
};

}  // namespace

TEST_F(ProfileStore, MissingFileReadsDefaultsAndWriteCreatesIt) {
    EXPECT_EQ(profile::read_text(path("b.bsk"), "Basket", "NumKeys", "dflt"), "dflt");
    EXPECT_EQ(profile::read_int(path("b.bsk"), "Basket", "NumKeys"), 0);
    EXPECT_EQ(profile::read_int(path("b.bsk"), "Basket", "NumKeys", 7), 7);
    profile::write(path("b.bsk"), "Basket", "NumKeys", std::string_view("3"));
    EXPECT_EQ(contents("b.bsk"), "[Basket]\nNumKeys=3\n");
    EXPECT_EQ(profile::read_int(path("b.bsk"), "basket", "numkeys"), 3);
}

TEST_F(ProfileStore, ValuesAreCutToTheirRoom) {
    put("t.ini", "[S]\nk=" + std::string(300, 'v') + "\nn=12abc\n");
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "k").size(), 259u);
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "k", "", 79).size(), 79u);
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "none", "abcdef", 3), "abc");
    EXPECT_EQ(profile::read_int(path("t.ini"), "S", "n"), 12);
}

TEST_F(ProfileStore, AbsentValueRemovesTheKey) {
    put("t.ini", "[S]\na=1\nb=2\n");
    profile::write(path("t.ini"), "S", "a", std::optional<std::string>());
    profile::write(path("t.ini"), "S", "b", std::optional<std::string>(""));
    EXPECT_EQ(contents("t.ini"), "[S]\nb=\n");
}

TEST_F(ProfileStore, LockedWritesAreStoredWhenTheLockGoes) {
    put("t.ini", "[S]\na=1\n");
    {
        profile::Lock hold(path("t.ini"));
        profile::write(path("t.ini"), "S", "a", std::string_view("2"));
        profile::write(path("t.ini"), "S", "b", std::string_view("3"));
        EXPECT_EQ(contents("t.ini"), "[S]\na=1\n");  // not yet
        EXPECT_EQ(profile::read_text(path("t.ini"), "S", "b"), "3");
    }
    EXPECT_EQ(contents("t.ini"), "[S]\na=2\nb=3\n");
}

namespace {
// Whether another holder could lock the file now.
bool lockable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return free;
}
}  // namespace

TEST_F(ProfileStore, ARequestStoresOnlyWhatItStoresAndKeepsTheFileLockedUntilThen) {
    put("t.ini", "[S]\na=1\n");
    put("u.ini", "[S]\na=1\n");
    {
        profile::RequestWrites writes;
        {
            profile::Lock hold(path("t.ini"));
            profile::write(path("t.ini"), "S", "a", std::string_view("2"));
        }
        // The lock went with the write pending: the file stays as it was,
        // held, and a second lock keeps the pending write.
        EXPECT_EQ(contents("t.ini"), "[S]\na=1\n");
        EXPECT_FALSE(lockable(path("t.ini")));
        {
            profile::Lock hold(path("t.ini"));
            profile::write(path("t.ini"), "S", "b", std::string_view("3"));
        }
        EXPECT_TRUE(profile::store_now(path("t.ini")));
        EXPECT_EQ(contents("t.ini"), "[S]\na=2\nb=3\n");
        EXPECT_TRUE(lockable(path("t.ini")));

        // Never stored: dropped when the request closes, as is a file the
        // request's lock made.
        profile::write(path("u.ini"), "S", "a", std::string_view("9"));
        profile::write(path("new.ini"), "S", "a", std::string_view("9"));
        EXPECT_EQ(profile::read_text(path("u.ini"), "S", "a"), "9");
    }
    EXPECT_EQ(contents("u.ini"), "[S]\na=1\n");
    EXPECT_TRUE(lockable(path("u.ini")));
    EXPECT_FALSE(std::filesystem::exists(path("new.ini")));
    // Nothing is kept from the request: the next one reads the file.
    EXPECT_EQ(profile::read_text(path("u.ini"), "S", "a"), "1");
}

TEST_F(ProfileStore, LockReadsTheFileAfresh) {
    put("t.ini", "[S]\na=1\n");
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "a"), "1");
    put("t.ini", "[S]\na=changed\n");  // another process's write
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "a"), "1");  // kept parse
    profile::Lock hold(path("t.ini"));
    EXPECT_EQ(profile::read_text(path("t.ini"), "S", "a"), "changed");
}

TEST_F(ProfileStore, ReplacementKeepsTheFilesPermissions) {
    put("t.ini", "[S]\na=1\n");
    chmod(path("t.ini").c_str(), 0640);
    profile::write(path("t.ini"), "S", "a", std::string_view("2"));
    struct stat st {};
    ASSERT_EQ(stat(path("t.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const auto& e : std::filesystem::directory_iterator(folder_.root()))
        EXPECT_EQ(e.path().filename(), "t.ini") << "left behind: " << e.path();
}

TEST_F(ProfileStore, FailedWritesChangeNothingAndAreNotServed) {
    // A directory where the file should be, and a missing folder.
    std::filesystem::create_directory(path("dir.ini"));
    profile::write(path("dir.ini"), "S", "a", std::string_view("1"));
    EXPECT_EQ(profile::read_text(path("dir.ini"), "S", "a", "none"), "none");
    EXPECT_TRUE(std::filesystem::is_directory(path("dir.ini")));
    profile::write(path("missing/t.ini"), "S", "a", std::string_view("1"));
    EXPECT_EQ(profile::read_text(path("missing/t.ini"), "S", "a", "none"), "none");
}

// An order mail is written into a new, empty file; over an older, longer
// one nothing of the old text may stay behind.
TEST_F(ProfileStore, WholeFileWritesLeaveOnlyTheNewText) {
    put("m.mail", "");
    EXPECT_TRUE(files::write_whole(path("m.mail"), "first order\n"));
    EXPECT_EQ(contents("m.mail"), "first order\n");
    EXPECT_TRUE(files::write_whole(path("m.mail"), "2nd\n"));
    EXPECT_EQ(contents("m.mail"), "2nd\n");
    EXPECT_FALSE(files::write_whole(path("none.mail"), "x"));  // never creates one
}

TEST_F(ProfileStore, LockWithoutWritesLeavesNoFileBehind) {
    { profile::Lock hold(path("new.bsk")); }
    EXPECT_FALSE(std::filesystem::exists(path("new.bsk")));
}

TEST(ProfileDocument, LongSectionsKeepFirstKeyAndOrderThroughManyWrites) {
    std::string text = "[Optional]\n";
    for (int i = 1; i <= 30; ++i) text += "option" + std::to_string(i) + "=v" + std::to_string(i) + "\n";
    text += "OPTION5=duplicate\n; trailing comment\n\n[Next]\nk=1\n";
    Document d = Document::parse(text);
    EXPECT_EQ(d.get("optional", "option5"), "v5");  // the first of two wins
    d.set("Optional", "option31", "v31");           // goes after the last key, before the comment
    d.remove("Optional", "option2");
    d.set("Optional", "Option5", "new");
    EXPECT_EQ(d.get("optional", "option31"), "v31");
    EXPECT_EQ(d.get("optional", "option30"), "v30");
    EXPECT_FALSE(d.get("optional", "option2"));
    EXPECT_EQ(d.get("optional", "option5"), "new");
    const std::string out = d.text();
    EXPECT_NE(out.find("OPTION5=duplicate\noption31=v31\n; trailing comment\n\n[Next]\nk=1\n"), std::string::npos);
    EXPECT_EQ(out.find("option2="), std::string::npos);
}

TEST(ProfileDocument, ThousandsOfKeysInOneSection) {
    Document d;
    constexpr int kKeys = 50000;  // linear, or this test takes minutes
    for (int i = 1; i <= kKeys; ++i) d.set("Optional", "option" + std::to_string(i), std::to_string(i));
    for (int i = 1; i <= kKeys; i += 2) d.set("Optional", "OPTION" + std::to_string(i), "odd");
    for (int i = 1; i <= kKeys; ++i)
        ASSERT_EQ(d.get("optional", "option" + std::to_string(i)), i % 2 ? "odd" : std::to_string(i));
    Document back = Document::parse(d.text());
    EXPECT_EQ(back.get("Optional", "option49999"), "odd");
    EXPECT_EQ(back.get("Optional", "option50000"), "50000");
}

TEST(ProfileDocument, FileEndingInsideALineEndKeepsItsValueWhenLinesAreAdded) {
    // Cut off between the CR and the LF of its last line.
    const std::string cut_short = "[Shipping]\ninvnumber=1001\r";
    Document d = Document::parse(cut_short);
    EXPECT_EQ(d.text(), cut_short);
    EXPECT_EQ(d.get("Shipping", "invnumber"), "1001");
    d.set("Total", "Tax", "0.72");
    EXPECT_EQ(d.text(), "[Shipping]\ninvnumber=1001\r\n[Total]\nTax=0.72\n");
    EXPECT_EQ(Document::parse(d.text()).get("Shipping", "invnumber"), "1001");
    Document one = Document::parse("[S]\r");
    one.set("S", "k", "v");
    EXPECT_EQ(one.text(), "[S]\r\nk=v\n");
}

TEST(ProfileDocument, NumberedKeysOfOneSection) {
    const auto d = profile::Document::parse(
        "[Additional]\nnumfields=7\na7=x\n A1 =y\na4\na03=z\na0=z\na-2=z\na2b=z\n;a5=z\na1=again\n"
        "[additional]\na10=later section\n[Other]\na9=z\n");
    EXPECT_EQ(d.numbered_keys("additional", "a"), (std::vector<long long>{1, 7}));
    EXPECT_EQ(d.numbered_keys("Additional", "numfields"), (std::vector<long long>{}));
    EXPECT_EQ(d.numbered_keys("missing", "a"), (std::vector<long long>{}));
}

// Readers of a file that others rewrite see it whole, old or new, and locked
// read-modify-writes lose no update.
TEST(ProfileConcurrency, RewritesAreNeverSeenTornAndNeverLost) {
    Install shop;
    const std::string file = shop.path("counter.ini");
    constexpr int kKeys = 40, kWriters = 3, kRounds = 60, kReaders = 2;
    {
        std::string text = "; kept comment\r\n[Count]\r\nn=0\r\n";
        for (int k = 0; k < kKeys; ++k) text += "k" + std::to_string(k) + "=0\r\n";
        shop.put("counter.ini", text);
    }
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            profile::forget_all();
            for (int i = 0; i < kRounds; ++i) {
                profile::Lock hold(file);
                const std::string next = std::to_string(profile::read_int(file, "Count", "n") + 1);
                profile::write(file, "Count", "n", std::string_view(next));
                for (int k = 0; k < kKeys; ++k) profile::write(file, "Count", "k" + std::to_string(k), std::string_view(next));
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (int rd = 0; rd < kReaders; ++rd) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 400; ++i) {
                profile::forget_all();
                const std::string n = profile::read_text(file, "Count", "n", "missing");
                for (int k = 0; k < kKeys; ++k)
                    if (profile::read_text(file, "count", "K" + std::to_string(k), "missing") != n) _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    profile::forget_all();
    EXPECT_EQ(profile::read_int(file, "Count", "n"), kWriters * kRounds);
    EXPECT_EQ(shop.get("counter.ini").rfind("; kept comment\r\n[Count]\r\nn=", 0), 0u);
}

TEST(ProfileConcurrency, ConfigurationReadersNeverMeetAHalfWrittenFile) {
    Install shop;
    const std::string file = shop.path("tavra.cfg");
    pid_t writer = fork();
    if (writer == 0) {
        for (int i = 0; i < 300; ++i) {
            profile::forget_all();
            profile::write(file, "Program Config", "invnumber", std::string_view(std::to_string(1000 + i)));
        }
        _exit(0);
    }
    for (int i = 0; i < 30; ++i) {
        Reply r = shop.get_words({"info"});
        ASSERT_EQ(r.out.rfind(kHeader + "<BODY", 0), 0u) << r.out;
    }
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(shop.get("tavra.cfg"), shop.default_config().replace(shop.default_config().find("invnumber=1000"),
                                                                      14, "invnumber=1299"));
}
