// The sites of the address book: what the settings store keeps and the rules a site must meet.
#include "site/site_book.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>

namespace kalder {
namespace {

using Problem = SiteCheck::Problem;

Site twoRecorderSite(const char* name) {
    return Site{name, {{"10.0.0.11", 2000, "admin"}, {"nvr-east.example", 2100, "guard"}}};
}

class SiteBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
    }
    // What a second run of the program reads.
    std::vector<Site> reloaded() {
        QSettings again(m_dir.filePath(QStringLiteral("kalder.ini")), QSettings::IniFormat);
        SiteBook book(again);
        book.load();
        return book.sites();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
};

TEST_F(SiteBookTest, SavedSitesReadBackAndAShorterListLeavesNoTail) {
    SiteBook book(*m_store);
    ASSERT_TRUE(book.add(twoRecorderSite("North gate")).ok());
    ASSERT_TRUE(book.add(Site{"Depot", {{"192.168.1.9", 2000, ""}}}).ok());
    ASSERT_TRUE(book.add(Site{"Yard", {{"192.168.1.10", 2000, "x"}}}).ok());
    ASSERT_TRUE(book.save());
    EXPECT_EQ(reloaded(), book.sites());

    ASSERT_TRUE(book.remove(0));
    ASSERT_TRUE(book.save());
    const std::vector<Site> expected{Site{"Depot", {{"192.168.1.9", 2000, ""}}},
                                     Site{"Yard", {{"192.168.1.10", 2000, "x"}}}};
    EXPECT_EQ(reloaded(), expected);
    // The third site of the longer list is gone from the store, not only hidden by the size.
    EXPECT_FALSE(m_store->contains(QStringLiteral("Sites/Site/3/Name")));
    // The single-recorder connect's keys are not the sites' business.
    EXPECT_FALSE(m_store->contains(QStringLiteral("IPSetup/ServerIP/IP")));
}

TEST_F(SiteBookTest, EditsKeepTheRulesAndTheLastSiteFollowsARename) {
    SiteBook book(*m_store);
    ASSERT_TRUE(book.add(twoRecorderSite("North gate")).ok());
    ASSERT_TRUE(book.add(Site{"Depot", {{"192.168.1.9", 2000, ""}}}).ok());
    book.setLastSite("north gate");

    // Trimmed, and a name that differs only in case is taken.
    EXPECT_EQ(book.add(twoRecorderSite("  NORTH GATE ")).problem, Problem::NameTaken);
    EXPECT_EQ(book.replace(1, twoRecorderSite("north Gate")).problem, Problem::NameTaken);
    EXPECT_EQ(book.sites().size(), 2u);
    EXPECT_EQ(book.sites()[1].name, "Depot") << "a refused change changes nothing";

    // Its own old name is not taken: a change of case alone is a rename.
    ASSERT_TRUE(book.replace(0, twoRecorderSite("NORTH GATE")).ok());
    EXPECT_EQ(book.lastSite(), "NORTH GATE");
    EXPECT_EQ(book.find("north gate"), std::optional<std::size_t>(0));
    EXPECT_EQ(book.find("South"), std::nullopt);
}

TEST_F(SiteBookTest, AHandEditedStoreLoadsAsItIsAndIsRefusedWhenChecked) {
    m_store->setValue(QStringLiteral("Sites/Site/size"), 1);
    m_store->setValue(QStringLiteral("Sites/Site/1/Name"), QStringLiteral("Old"));
    m_store->setValue(QStringLiteral("Sites/Site/1/Recorder/size"), 1);
    m_store->setValue(QStringLiteral("Sites/Site/1/Recorder/1/Address"),
                      QStringLiteral("10.0.0.1"));
    m_store->setValue(QStringLiteral("Sites/Site/1/Recorder/1/Port"), QStringLiteral("http"));
    m_store->sync();
    SiteBook book(*m_store);
    book.load();
    ASSERT_EQ(book.sites().size(), 1u);
    EXPECT_EQ(book.sites()[0].recorders[0].port, 0u);
    EXPECT_EQ(checkSite(book.sites()[0], {}).problem, Problem::PortOutOfRange);
}

// Two recorders on the 9-cell layout's second page: recorder 1's channel 0 first, an empty
// cell, then recorder 0's channels.
SiteArrangement nineCellArrangement() {
    return SiteArrangement{9, 1, {{1, 0}, {0, -1}, {0, 0}, {0, 1}, {0, 15}}};
}

TEST_F(SiteBookTest, AnArrangementReadsBackAndOnlyOneThatFitsIsTaken) {
    SiteBook book(*m_store);
    ASSERT_TRUE(book.add(twoRecorderSite("North gate")).ok());
    ASSERT_TRUE(book.add(Site{"Depot", {{"192.168.1.9", 2000, ""}}}).ok());
    ASSERT_TRUE(book.setArrangement(0, nineCellArrangement()));
    // Recorder 1 is not a recorder of a one-recorder site.
    EXPECT_FALSE(book.setArrangement(1, nineCellArrangement()));
    EXPECT_FALSE(book.setArrangement(2, std::nullopt));
    ASSERT_TRUE(book.save());
    const std::vector<Site> again = reloaded();
    EXPECT_EQ(again, book.sites());
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].arrangement, nineCellArrangement());
    EXPECT_EQ(again[1].arrangement, std::nullopt) << "a site never arranged stays so";

    // Sixty-four cells of four recorders, on the 36-cell layout's second page.
    Site full{"Full", {}};
    SiteArrangement all{36, 1, {}};
    for (int r = 0; r < 4; ++r) {
        full.recorders.push_back({"10.1.0." + std::to_string(r + 1), 2000, ""});
        for (int c = 15; c >= 0; --c)
            all.cells.push_back({r, c});
    }
    full.arrangement = all;
    ASSERT_TRUE(book.add(full).ok());
    EXPECT_EQ(book.sites()[2].arrangement, all);
    all.cells.push_back({0, -1});
    EXPECT_FALSE(book.setArrangement(2, all)) << "65 cells";

    // Forgetting it leaves nothing of it in the store.
    ASSERT_TRUE(book.setArrangement(0, std::nullopt));
    ASSERT_TRUE(book.save());
    EXPECT_EQ(reloaded()[0].arrangement, std::nullopt);
    EXPECT_FALSE(m_store->contains(QStringLiteral("Sites/Site/1/Arrangement/Layout")));
}

TEST_F(SiteBookTest, AHandEditedArrangementThatDoesNotFitIsDroppedOnLoad) {
    struct Case {
        const char* what;
        const char* key; // under Sites/Site/1/Arrangement/
        QVariant value;
        bool kept;
    };
    const Case cases[] = {
        {"as saved", "Page", 1, true},
        {"two empty cells are no source twice", "Cell/4/Channel", -1, true},
        {"recorder index beyond the site's two", "Cell/1/Recorder", 2, false},
        {"channel 16", "Cell/3/Channel", 16, false},
        {"channel -2", "Cell/2/Channel", -2, false},
        {"a source twice", "Cell/5/Channel", 0, false},
        {"no 12-cell layout", "Layout", 12, false},
        {"negative page", "Page", -1, false},
        {"more than 64 cells", "Cell/size", 65, false},
        {"a cell that is not a number", "Cell/2/Channel", QStringLiteral("two"), false},
    };
    int file = 0;
    for (const Case& c : cases) {
        const QString path = m_dir.filePath(QStringLiteral("edited%1.ini").arg(++file));
        {
            QSettings store(path, QSettings::IniFormat);
            SiteBook book(store);
            Site site = twoRecorderSite("North gate");
            site.arrangement = nineCellArrangement();
            ASSERT_TRUE(book.add(site).ok());
            ASSERT_TRUE(book.save());
            store.setValue(QStringLiteral("Sites/Site/1/Arrangement/") + QLatin1String(c.key),
                           c.value);
            store.sync();
        }
        QSettings store(path, QSettings::IniFormat);
        SiteBook book(store);
        book.load();
        ASSERT_EQ(book.sites().size(), 1u) << c.what;
        // The site itself is loaded either way.
        EXPECT_EQ(book.sites()[0].recorders, twoRecorderSite("").recorders) << c.what;
        EXPECT_EQ(book.sites()[0].arrangement.has_value(), c.kept) << c.what;
    }
}

TEST_F(SiteBookTest, OtherRecordersDropTheArrangementAndARenameKeepsIt) {
    SiteBook book(*m_store);
    Site site = twoRecorderSite("North gate");
    site.arrangement = nineCellArrangement();
    ASSERT_TRUE(book.add(site).ok());

    // The editor passes the typed name and recorders, never an arrangement.
    Site renamed = twoRecorderSite("South gate");
    renamed.recorders[0].userId = "operator"; // logs in to the same recorder
    renamed.recorders[1].address = " NVR-EAST.example";
    ASSERT_TRUE(book.replace(0, renamed).ok());
    EXPECT_EQ(book.sites()[0].name, "South gate");
    EXPECT_EQ(book.sites()[0].arrangement, nineCellArrangement());

    // Another arrangement given with the same recorders replaces it.
    Site rearranged = book.sites()[0];
    rearranged.arrangement->pageCells = 16;
    ASSERT_TRUE(book.replace(0, rearranged).ok());
    EXPECT_EQ(book.sites()[0].arrangement->pageCells, 16);

    // The same two recorders in the other order: cell {1, 0} would show the other recorder.
    Site swapped = book.sites()[0];
    std::swap(swapped.recorders[0], swapped.recorders[1]);
    ASSERT_TRUE(book.replace(0, swapped).ok());
    EXPECT_EQ(book.sites()[0].arrangement, std::nullopt);
}

TEST(SiteRules, EachRuleNamesTheRecorderAtFault) {
    const auto site = [](std::vector<SiteRecorder> recorders) {
        return Site{"Site", std::move(recorders)};
    };
    const SiteRecorder a{"10.0.0.1", 2000, "admin"};
    std::vector<SiteRecorder> four;
    for (int k = 1; k <= 4; ++k)
        four.push_back({"10.0.0." + std::to_string(k), 2000, ""});
    std::vector<SiteRecorder> five = four;
    five.push_back({"10.0.0.5", 2000, ""});

    struct Case {
        const char* what;
        Site site;
        SiteCheck expected;
    };
    const Case cases[] = {
        {"fine", site({a, {"nvr.example", 2000, ""}}), {}},
        {"four recorders", site(four), {}},
        {"five recorders", site(five), {Problem::TooManyRecorders}},
        {"no name", Site{"", {a}}, {Problem::NameEmpty}},
        {"name too long", Site{std::string(260, 'n'), {a}}, {Problem::NameTooLong}},
        {"taken", Site{"DEPOT", {a}}, {Problem::NameTaken}},
        {"no recorders", site({}), {Problem::NoRecorders}},
        {"no address", site({a, {"", 2000, ""}}), {Problem::AddressEmpty, 1}},
        {"three numbers", site({{"10.0.0", 2000, ""}}), {Problem::AddressNotIpv4, 0}},
        {"part over 255", site({{"10.0.0.256", 2000, ""}}), {Problem::AddressNotIpv4, 0}},
        {"port 0", site({{"10.0.0.1", 0, ""}}), {Problem::PortOutOfRange, 0}},
        {"port 65535", site({{"10.0.0.1", 65535, ""}}), {Problem::PortOutOfRange, 0}},
        {"port 65534", site({{"10.0.0.1", 65534, ""}}), {}},
        {"user of 17",
         site({{"10.0.0.1", 2000, std::string(17, 'u')}}),
         {Problem::UserIdTooLong, 0}},
        {"user of 16", site({{"10.0.0.1", 2000, std::string(16, 'u')}}), {}},
        {"same twice", site({a, {"10.0.0.2", 2000, ""}, a}), {Problem::RecorderTwice, 2, 0}},
        {"leading zeros", site({a, {"010.0.0.001", 2000, ""}}), {Problem::RecorderTwice, 1, 0}},
        {"host name case",
         site({{"NVR.example", 2000, ""}, {"nvr.EXAMPLE", 2000, ""}}),
         {Problem::RecorderTwice, 1, 0}},
        {"other port", site({a, {"10.0.0.1", 2001, ""}}), {}},
        {"other user same recorder",
         site({a, {"10.0.0.1", 2000, "guard"}}),
         {Problem::RecorderTwice, 1, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkSite(c.site, {"Depot"}), c.expected) << c.what;
}

} // namespace
} // namespace kalder
