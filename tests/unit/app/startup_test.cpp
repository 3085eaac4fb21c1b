#include "app/startup.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "acquire/standings_table.h"

namespace {

TEST(CommandLine, SwitchGrammar) {
    struct Case { const char* line; char letter; std::uintptr_t parent; };
    const Case cases[] = {
        {"", 'C', 0},          {"hello", 'C', 0},      {"/", 'C', 0},
        {"abc -", 'C', 0},     {"/c", 'c', 0},          {"/C", 'c', 0},
        {"/c:5678", 'c', 0},   {"-c", 'c', 0},          {"/p 1234", 'p', 1234},
        {"/P 1234", 'p', 1234}, {"-p 42", 'p', 42},     {"/p:1234", 'p', 0},
        {"/p", 'p', 0},        {"/p5", 'p', 0},         {"/p56", 'p', 56},
        {"/s", 's', 0},        {"/S", 's', 0},          {"/a", 'a', 0},
        {"-x", 'x', 0},        {"foo /s", 's', 0},      {"/p  77 /s", 'p', 77},
    };
    for (const Case& c : cases) {
        RunMode m = ParseCommandLine(c.line);
        EXPECT_EQ(m.letter, c.letter) << '"' << c.line << '"';
        EXPECT_EQ(m.parent, c.parent) << '"' << c.line << '"';
    }
}

TEST(StandingsUrl, ComposedFromServerAndEncodedCode) {
    EXPECT_EQ(ComposeStandingsUrl("127.0.0.1:8080", "ger"),
              "http://127.0.0.1:8080/associations/association=ger/nationalleague/standings.html");
    // The code is used as read: no case change, no check against the table.
    EXPECT_EQ(ComposeStandingsUrl("h", "GER"),
              "http://h/associations/association=GER/nationalleague/standings.html");
    EXPECT_EQ(ComposeStandingsUrl("h", ""), "http://h/associations/association=/nationalleague/standings.html");
    // A code from user-writable storage must not be able to change the request.
    EXPECT_EQ(ComposeStandingsUrl("h", "a b\r\nX: y/../?#"),
              "http://h/associations/association=a%20b%0D%0AX%3A%20y%2F..%2F%3F%23/nationalleague/standings.html");
    EXPECT_EQ(EncodeUrlComponent("A-z.0_9~"), "A-z.0_9~");
    EXPECT_EQ(EncodeUrlComponent(std::string("\xFC\x01", 2)), "%FC%01");
}

class MemoryProfile : public Profile {
public:
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
    std::string GetProfileString(const std::string& s, const std::string& e, const std::string& d) override {
        auto it = values.find(s + "/" + e);
        return it == values.end() ? d : it->second;
    }
    bool writable = true;
    bool WriteProfileString(const std::string& s, const std::string& e, const std::string& v) override {
        if (!writable) return false;
        writes.push_back(s + "/" + e + "=" + v);
        values[s + "/" + e] = v;
        return true;
    }
};

// Records the order in which start-up uses its host.
class RecordingHost : public StartupHost {
public:
    MemoryProfile profile;
    bool connected = true;
    bool fetchResult = true;
    bool dialogResult = false;
    std::string dialogChoice;
    bool windowResult = true;
    std::vector<std::string> calls;

    Profile& GetProfile() override { return profile; }
    bool IsConnected() override { calls.push_back("connected?"); return connected; }
    bool FetchStandings(const std::string& url) override { calls.push_back("fetch " + url); return fetchResult; }
    std::string resultsStatus = "Standings of 8 March 2026";
    std::string FetchOpenResults(const std::string& code, const std::string& base, bool online) override {
        calls.push_back("results " + code + " " + base + (online ? " online" : " offline"));
        return resultsStatus;
    }
    void FetchRotation(const std::vector<std::string>& codes, const std::string& server, const std::string& base,
                       bool online) override {
        std::string call = "rotation";
        for (const std::string& code : codes) call += " " + code;
        calls.push_back(call + " [" + server + "] " + base + (online ? " online" : " offline"));
    }
    void RotationCodesUnknown(const std::vector<std::string>& codes) override {
        std::string call = "unknown";
        for (const std::string& code : codes) call += " " + code;
        calls.push_back(call);
    }
    std::optional<SettingsChoice> dialogSettings;  // what the user leaves in Club and Rotation
    bool RunSettingsDialog(bool activeParent, SettingsChoice& choice) override {
        calls.push_back(std::string("dialog ") + (activeParent ? "active " : "none ") + choice.championship);
        if (dialogSettings) calls.push_back("dialog shows [" + choice.team + "] [" + choice.rotation + "]");
        if (!dialogResult) return false;
        choice.championship = dialogChoice;
        if (dialogSettings) {
            choice.team = dialogSettings->team;
            choice.rotation = dialogSettings->rotation;
        }
        return true;
    }
    bool CreateSaverWindow(std::uintptr_t parent) override {
        calls.push_back("window " + std::to_string(parent));
        return windowResult;
    }
    void SettingsNotSaved(const std::string& championship) override { calls.push_back("not saved " + championship); }
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override { theStatusText.clear(); }
    void TearDown() override { theStatusText.clear(); }
};

TEST_F(Startup, SaverRunReadsOpenResultsOfTheDefaultCodeBeforeCreatingWindow) {
    RecordingHost host;
    std::string champ;
    EXPECT_TRUE(RunStartup(host, "/s", champ));
    EXPECT_EQ(champ, "ger");
    EXPECT_EQ(host.calls, (std::vector<std::string>{
        "connected?",
        "results ger https://raw.githubusercontent.com/openfootball/football.json/master online",
        "window 0"}));
    EXPECT_EQ(theStatusText, "Standings of 8 March 2026");
    EXPECT_TRUE(host.profile.writes.empty());

    // Offline, the results path still runs: what it kept serves. An empty
    // Server is no site.
    RecordingHost offline;
    offline.connected = false;
    offline.profile.values["Settings/Results"] = "http://127.0.0.1:9/fj";
    offline.profile.values["Settings/Server"] = "";
    offline.resultsStatus = "Not connected to the internet";
    RunStartup(offline, "/s", champ);
    EXPECT_EQ(offline.calls[1], "results ger http://127.0.0.1:9/fj offline");
    EXPECT_EQ(theStatusText, "Not connected to the internet");
}

TEST_F(Startup, ServerAndChampionshipComeFromTheProfile) {
    RecordingHost host;
    host.profile.values["Settings/Championship"] = "usa";
    host.profile.values["Settings/Server"] = "example.test:9000";
    std::string champ;
    EXPECT_TRUE(RunStartup(host, "/p 99", champ));
    EXPECT_EQ(host.calls[1], "fetch http://example.test:9000/associations/association=usa/nationalleague/standings.html");
    EXPECT_EQ(host.calls[2], "window 99");
}

TEST_F(Startup, StatusTextsOfASite) {
    RecordingHost offline;
    offline.connected = false;
    offline.profile.values["Settings/Server"] = "example.test";
    std::string champ;
    RunStartup(offline, "/s", champ);
    EXPECT_EQ(theStatusText, "Not connected to the internet");
    EXPECT_EQ(offline.calls, (std::vector<std::string>{"connected?", "window 0"}));

    theStatusText.clear();
    RecordingHost failing;
    failing.fetchResult = false;
    failing.profile.values["Settings/Server"] = "example.test";
    RunStartup(failing, "/s", champ);
    EXPECT_EQ(theStatusText, "Mistake of data acquisition.");
}

TEST_F(Startup, ConfigureDownloadsFirstAndWritesOnlyAfterOk) {
    RecordingHost ok;
    ok.dialogResult = true;
    ok.dialogChoice = "usa";
    std::string champ;
    EXPECT_FALSE(RunStartup(ok, "", champ));
    ASSERT_EQ(ok.calls.size(), 3u);
    EXPECT_EQ(ok.calls[0], "connected?");
    EXPECT_EQ(ok.calls[1].rfind("results ger ", 0), 0u);
    EXPECT_EQ(ok.calls[2], "dialog none ger");
    EXPECT_EQ(ok.profile.writes, (std::vector<std::string>{"Settings/Championship=usa"}));

    // The next run reads the new code.
    std::string next;
    ok.calls.clear();
    RunStartup(ok, "/s", next);
    EXPECT_EQ(next, "usa");

    RecordingHost cancel;
    EXPECT_FALSE(RunStartup(cancel, "/c:5678", champ));
    EXPECT_EQ(cancel.calls.back(), "dialog active ger");
    EXPECT_TRUE(cancel.profile.writes.empty());

    RecordingHost upper;
    RunStartup(upper, "/C", champ);
    EXPECT_EQ(upper.calls.back(), "dialog active ger");

    // A choice that could not be stored is reported, not dropped in silence.
    RecordingHost readOnly;
    readOnly.dialogResult = true;
    readOnly.dialogChoice = "fra";
    readOnly.profile.writable = false;
    EXPECT_FALSE(RunStartup(readOnly, "/c", champ));
    EXPECT_EQ(readOnly.calls.back(), "not saved fra");
    EXPECT_TRUE(readOnly.profile.writes.empty());
}

TEST_F(Startup, FailedWindowEndsTheProgram) {
    RecordingHost host;
    host.windowResult = false;
    std::string champ;
    EXPECT_FALSE(RunStartup(host, "/p 12345", champ));
}

TEST(StandingsTableModel, AddCopiesAndRemoveAllEmpties) {
    StandingsTable table;
    StandingsRow row;
    for (int i = 0; i < 11; ++i) EXPECT_EQ(row[i], "");
    row[2] = "Team";
    EXPECT_EQ(table.Add(row), 0);
    row[2] = "Changed";
    EXPECT_EQ(table.Add(row), 1);
    EXPECT_EQ(table.GetSize(), 2);
    EXPECT_EQ(table.ElementAt(0)[2], "Team");
    EXPECT_EQ(table.ElementAt(1)[2], "Changed");
    table.RemoveAll();
    EXPECT_EQ(table.GetSize(), 0);
}

}  // namespace

TEST(Rotation, CodesAreSplitTrimmedAndCheckedAgainstTheAssociations) {
    std::vector<std::string> unknown;
    EXPECT_EQ(ParseRotation(" eng, ger ,,esp,xyz , eng,", unknown),
              (std::vector<std::string>{"eng", "ger", "esp", "eng"}));
    EXPECT_EQ(unknown, (std::vector<std::string>{"xyz"}));
    unknown.clear();
    EXPECT_TRUE(ParseRotation(" , ", unknown).empty());
    EXPECT_TRUE(unknown.empty());
}

TEST_F(Startup, RotationTakesTheChampionshipsPlaceAndTheTeamIsRead) {
    RecordingHost host;
    host.profile.values["Settings/Rotation"] = "eng,zz,ger";
    host.profile.values["Settings/Team"] = "Bayern";
    host.profile.values["Settings/Server"] = "127.0.0.1:8080";
    std::string champ;
    EXPECT_TRUE(RunStartup(host, "/s", champ));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"connected?", "unknown zz",
                                                    "rotation eng ger [127.0.0.1:8080] "
                                                    "https://raw.githubusercontent.com/openfootball/football.json/master online",
                                                    "window 0"}));
    EXPECT_EQ(theTeamName, "Bayern");

    // Nothing but unknown codes: the championship plays alone, and the user
    // is told why.
    RecordingHost typo;
    typo.profile.values["Settings/Rotation"] = "zz";
    RunStartup(typo, "/s", champ);
    EXPECT_EQ(typo.calls[1], "unknown zz");
    EXPECT_EQ(typo.calls[2].rfind("results ger ", 0), 0u);
    theTeamName.clear();
}

TEST_F(Startup, DialogWritesClubAndRotationOnlyWhenTheyChanged) {
    RecordingHost host;
    host.profile.values["Settings/Team"] = "Arsenal";
    host.profile.values["Settings/Rotation"] = "eng,ger";
    host.dialogResult = true;
    host.dialogChoice = "esp";
    host.dialogSettings = SettingsChoice{"", "Arsenal", "eng,ger"};
    std::string champ;
    EXPECT_FALSE(RunStartup(host, "/c", champ));
    EXPECT_EQ(host.calls[host.calls.size() - 1], "dialog shows [Arsenal] [eng,ger]");
    EXPECT_EQ(host.profile.writes, (std::vector<std::string>{"Settings/Championship=esp"}));

    RecordingHost changed;
    changed.profile.values["Settings/Team"] = "Arsenal";
    changed.dialogResult = true;
    changed.dialogChoice = "eng";
    changed.dialogSettings = SettingsChoice{"", "Chelsea", "esp,ita"};
    RunStartup(changed, "/c", champ);
    EXPECT_EQ(changed.profile.writes, (std::vector<std::string>{"Settings/Championship=eng", "Settings/Team=Chelsea",
                                                               "Settings/Rotation=esp,ita"}));
    theTeamName.clear();
}
