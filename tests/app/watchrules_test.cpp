// What the alarms, the alarm command and the readings log decide, as plain
// functions of their inputs.

#include <gtest/gtest.h>

#include <string>

#include "app/alarms.h"
#include "app/command.h"
#include "app/logname.h"
#include "app/readingslog.h"
#include "app/rows.h"

namespace {

const AlarmBound kOff = {0, 0};
const AlarmBound k10 = {1, 10};
const AlarmBound k20 = {1, 20};

TEST(WatchRules, OutOfRange)
{
    const struct {
        const char* value;
        bool fan;
        const AlarmBound* low;
        const AlarmBound* high;
        bool out;
    } kCases[] = {
        {"15", false, &k10, &k20, false}, {"20", false, &k10, &k20, false}, {"20.1", false, &k10, &k20, true},
        {"9.9", false, &k10, &k20, true}, {"9", false, &kOff, &k20, false}, {"99", false, nullptr, nullptr, false},
        {"", true, &k10, nullptr, true},   // a stopped fan
        {"", true, nullptr, &k20, false},  {"", false, &k10, &k20, false}, {"-5", false, &k10, nullptr, true},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.out, OutOfRange(c.value, c.fan, c.low, c.high)) << c.value;
}

TEST(WatchRules, TheCommandLineQuotesLabelAndValue)
{
    const struct {
        const char* command;
        const char* label;
        const char* line;  // null: refused
    } kCases[] = {
        {"run %L %V", "CPU", "run \"CPU\" \"42\""},
        {"run %L", "a\" b", "run \"a b\""},            // a quote cannot close the argument
        {"run %L", "x\\", "run \"x\\\\\""},            // nor a backslash before the closing one
        {"run %L", "\x95\\", "run \"\x95\\\""},        // a trail byte 0x5C is no backslash
        {"run %L", "ab\x95", "run \"ab\""},             // a lone lead byte at the end goes
        {"run %l %% %", "CPU", "run %l %% %"},         // only %L and %V are fields
        {"%V%V", "CPU", nullptr},                      // a field must stand alone
        {"run C:\\a\\%L.txt", "CPU", nullptr},
        {"run \\%L", "CPU", nullptr},
        {"run a\\\"\" %L", "CPU", nullptr},              // \" and "" leave quoting unclear
        {"run \"x\"%L", "CPU", nullptr},
        {"run \"%L\"", "CPU", nullptr},                // inside the command's own quotes
        {"\"C:\\a b\\x.exe\" \"-m %V\"", "CPU", nullptr},
        {"\"C:\\a b\\x.exe\" %V", "CPU", "\"C:\\a b\\x.exe\" \"42\""},
    };
    for (const auto& c : kCases) {
        std::string line;
        EXPECT_EQ(c.line != nullptr, ExpandCommand(c.command, c.label, "42", &line)) << c.command;
        EXPECT_EQ(c.line ? c.line : "", line) << c.command;
    }
    for (const char* remote : {"\\\\host\\share\\x.exe %L", "//host/x.exe", "\\??\\C:\\windows\\system32\\cmd.exe"})
        EXPECT_EQ("", ResolveCommand(remote, "C:\\VESKORA.VKC")) << remote;  // never touched before the question
    const struct {
        const char* command;
        const char* program;
        const char* rest;
    } kSplits[] = {{"  x.exe %L", "x.exe", " %L"}, {"\"C:\\a b\\x.exe\" %V", "C:\\a b\\x.exe", " %V"},
                   {"\"unclosed x", "unclosed x", ""}, {"", "", ""}};
    for (const auto& c : kSplits) {
        const CommandParts parts = SplitCommand(c.command);
        EXPECT_EQ(c.program, parts.program) << c.command;
        EXPECT_EQ(c.rest, parts.rest) << c.command;
    }
}

TEST(WatchRules, LogNames)
{
    const SYSTEMTIME day = {2026, 3, 0, 7, 0, 0, 0, 0};
    const struct {
        const char* pattern;
        const char* settings;
        const char* name;  // null: does not fit
    } kCases[] = {
        {"LOG_%Y%m%d.CSV", "C:\\vk\\VESKORA.INI", "C:\\vk\\LOG_20260307.CSV"},
        {"D:\\logs\\%Y-%m.TSV", "C:\\vk\\VESKORA.INI", "D:\\logs\\2026-03.TSV"},
        {"%d%x.CSV", "VESKORA.INI", "07%x.CSV"},
        {"/tmp/%Y.CSV", "C:\\VESKORA.INI", "/tmp/2026.CSV"},
    };
    for (const auto& c : kCases) {
        char name[kPathSize];
        ASSERT_TRUE(ExpandLogName(c.pattern, c.settings, day, name)) << c.pattern;
        EXPECT_STREQ(c.name, name);
    }
    char name[kPathSize];
    EXPECT_FALSE(ExpandLogName(std::string(kPathSize - 4, 'a').append("%Y").c_str(), "", day, name));
    for (const char* allowed : {"a.csv", "X.TSV", "%Y.Csv"})
        EXPECT_TRUE(LogNameAllowed(allowed)) << allowed;
    for (const char* refused : {".CSV", "a.txt", "a.CSV.bak", ""})
        EXPECT_FALSE(LogNameAllowed(refused)) << refused;
}

TEST(WatchRules, OnlyPlainFilesOfThisMachineAreLogged)
{
    for (const char* safe : {"C:\\logs\\%Y.CSV", "D:/logs/x.csv", "LOG.CSV", "CONSOLE.CSV", "COM0.CSV",
                             "C:\\\x95\\\\x.CSV"})  // a trail byte 0x5C is no separator
        EXPECT_TRUE(LogPathSafe(safe)) << safe;
    for (const char* refused : {"a.txt:x.csv", "C:\\d\\a.txt:x.csv", "COM1.csv", "nul.CSV", "Lpt9.log.csv",
                                "CON .csv", "C:\\aux\\x.csv", "\\\\host\\share\\x.csv", "//host/x.csv",
                                "\\\\?\\C:\\x.csv", "\\\\.\\COM1", "\\??\\UNC\\host\\x.csv"})
        EXPECT_FALSE(LogPathSafe(refused)) << refused;
    EXPECT_EQ(GetACP() == 932, LogPathSafe("COM\xB9.csv"));  // a superscript one outside Shift-JIS
    const struct {
        const char* path;
        size_t folder;
    } kFolders[] = {{"D:/logs/%Y.csv", 8}, {"C:\\a\\b.csv", 5}, {"x.csv", 0}, {"C:x.csv", 2},
                    {"C:\\\x95\\.csv", 3}};  // the folder ends before the double-byte name
    for (const auto& c : kFolders)
        EXPECT_EQ(c.folder, FolderLength(c.path)) << c.path;
}

TEST(WatchRules, FieldsASpreadsheetReadsAsWritten)
{
    const struct {
        const char* text;
        char separator;
        const char* field;
    } kCases[] = {
        {"3.30", ',', "3.30"},          {"-11.98", ',', "-11.98"},          {"+3.3V (V)", ',', "'+3.3V (V)"},
        {"=1+1", '\t', "'=1+1"},         {"@x", ',', "'@x"},                 {"a,b", ',', "\"a,b\""},
        {"a,b", '\t', "a,b"},            {"say \"hi\"", ',', "\"say \"\"hi\"\"\""}, {"a\tb", '\t', "\"a\tb\""},
        {"-x,y", ',', "\"'-x,y\""},      {"", ',', ""},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.field, LogField(c.text, c.separator)) << c.text;
}

TEST(WatchRules, FileNamesOfThePatternAndTheirAge)
{
    const struct {
        const char* name;
        bool matches;
        WORD year, month, day;
    } kCases[] = {
        {"LOG_20260301.CSV", true, 2026, 3, 1}, {"log_20260301_12.csv", true, 2026, 3, 1},
        {"LOG_2026031.CSV", false, 0, 0, 0},    {"LOG_20260301_.CSV", false, 0, 0, 0},
        {"LOG_20260301.CSV.BAK", false, 0, 0, 0}, {"LOG_2026x301.CSV", false, 0, 0, 0},
    };
    for (const auto& c : kCases) {
        SYSTEMTIME date;
        EXPECT_EQ(c.matches, MatchesPattern("LOG_%Y%m%d.CSV", c.name, &date)) << c.name;
        EXPECT_TRUE(!c.matches || (date.wYear == c.year && date.wMonth == c.month && date.wDay == c.day)) << c.name;
    }
    const SYSTEMTIME today = {2026, 3, 0, 11, 15, 30, 0, 0};
    const struct {
        SYSTEMTIME date;
        int days;
        bool old;
    } kAges[] = {
        {{2026, 3, 0, 1, 0, 0, 0, 0}, 10, true},   {{2026, 3, 0, 2, 0, 0, 0, 0}, 10, false},
        {{2026, 2, 0, 28, 0, 0, 0, 0}, 11, true},  {{2026, 3, 0, 11, 0, 0, 0, 0}, 0, false},
        {{2026, 13, 0, 1, 0, 0, 0, 0}, 1, false},  // no real date is never old
    };
    for (const auto& c : kAges)
        EXPECT_EQ(c.old, OldEnough(c.date, today, c.days)) << c.date.wMonth << "/" << c.date.wDay;
}

TEST(WatchRules, BoundsKeepTheirDigits)
{
    const struct {
        double value;
        bool volts;
        const char* text;
    } kCases[] = {{80, false, "80"}, {79.6, false, "79.6"}, {-5, false, "-5"}, {1.5, true, "1.500000"},
                  {1.2345678, true, "1.2345678"}, {0, true, "0.000000"}};
    for (const auto& c : kCases) {
        char text[32];
        FormatBound(AlarmBound{1, c.value}, c.volts, text, sizeof text);
        EXPECT_STREQ(c.text, text);
    }
}

TEST(WatchRules, RowsInDisplayOrder)
{
    const struct {
        int row;
        RowGroup group;
        int item, slot, dutySlot;
    } kCases[] = {
        {0, kTempRows, 0, kTempSlot, -1},         {2, kTempRows, 2, kTempSlot + 2, -1},
        {3, kFanRows, 0, kFanSlot, kPwmSlot},     {6, kFanRows, 3, kFanSlot + 3, kPwmSlot + 3},
        {7, kVoltRows, 0, kVoltSlot, -1},         {15, kVoltRows, 8, kVoltSlot + 8, -1},
    };
    for (const auto& c : kCases) {
        const Row r = RowAt(c.row);
        EXPECT_TRUE(r.group == c.group && r.item == c.item && r.slot == c.slot && r.dutySlot == c.dutySlot) << c.row;
    }
}

}  // namespace
