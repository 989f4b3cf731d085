// Readings for other programs over the real main window and the substitute
// driver: the endpoint's answers, its port already taken, the Prometheus
// file, the defaults, a flood of connections; and the exposition format.

#include <winsock2.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/export.h"
#include "app/exporter.h"
#include "display/commands.h"
#include "support/display_fixture.h"
#include "support/guicount.h"
#include "support/pump.h"

namespace {

// Below the ports Linux hands out to clients (32768 and up): one of those
// can be held in TIME_WAIT by an earlier test's connection for a minute.
const uint16_t kTestPort = 31185;

struct Winsock {
    Winsock() { WSAStartup(MAKEWORD(2, 2), &data); }
    ~Winsock() { WSACleanup(); }
    WSADATA data;
};

SOCKET Connect(uint16_t port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    DWORD timeout = 5000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// The whole answer to one request; empty when nothing listens.
std::string Fetch(const std::string& request, uint16_t port = kTestPort)
{
    SOCKET s = Connect(port);
    if (s == INVALID_SOCKET)
        return "";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string answer;
    char chunk[4096];
    int got;
    while ((got = recv(s, chunk, sizeof chunk, 0)) > 0)
        answer.append(chunk, static_cast<size_t>(got));
    closesocket(s);
    return answer;
}

std::string Body(const std::string& answer)
{
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "" : answer.substr(end + 4);
}

// The readings counter of a metrics text; -1 when it has none.
int ReadingsTotal(const std::string& metrics)
{
    const char name[] = "\nveskora_readings_total ";
    const size_t at = metrics.find(name);
    return at == std::string::npos ? -1 : std::atoi(metrics.c_str() + at + sizeof name - 1);
}

class ExportTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        App().exports.port = kTestPort;
    }
    Winsock winsock;
};

TEST_F(ExportTest, TheEndpointAnswersFromTheLastReadingOfTheShownRows)
{
    App().exports.http = 1;
    App().show.temp[1] = 0;  // PWR hidden
    Open();
    ReadNow();
    const std::string answer = Fetch("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << answer;
    EXPECT_NE(std::string::npos, answer.find("\r\nContent-Type: text/plain; version=0.0.4"));
    EXPECT_NE(std::string::npos, answer.find("\r\nConnection: close\r\n"));
    EXPECT_EQ(std::string::npos, answer.find("Access-Control"));
    const std::string body = Body(answer);
    const char* const present[] = {
        "veskora_temperature_celsius{label=\"CPU\",input=\"temp0\"} 45\n",
        "veskora_fan_rpm{label=\"CPU\",input=\"fan0\"} 1500\n",
        "veskora_fan_duty_ratio{label=\"CPU\",input=\"pwm0\"} 1\n",
        "veskora_voltage_volts{label=\"+3.3V\",input=\"in0\"} 2.64\n",
        "veskora_alarm{label=\"SYS\",input=\"temp2\"} 0\n",
        "veskora_readings_total ",
        "veskora_info{version=\"",
    };
    for (const char* line : present)
        EXPECT_NE(std::string::npos, body.find(line)) << line << "\n" << body;
    // No value now, no sample; a hidden row not at all.
    const char* const absent[] = {
        "veskora_temperature_celsius{label=\"SYS\"", "veskora_fan_rpm{label=\"PWR\"",
        "veskora_fan_rpm{label=\"SYS\"", "veskora_fan_duty_ratio{label=\"PWR\"",
        "veskora_voltage_volts{label=\"VIN2\"", "input=\"temp1\"",
    };
    for (const char* line : absent)
        EXPECT_EQ(std::string::npos, body.find(line)) << line;
    const std::string json = Body(Fetch("GET /data.json HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(0u, json.find("{\"version\":")) << json;
    EXPECT_NE(std::string::npos, json.find("{\"label\":\"CPU\",\"input\":\"temp0\",\"unit\":\"celsius\",\"value\":45}"));
}

TEST_F(ExportTest, APortInUseIsSaidOnceAndTheMonitorKeepsRunning)
{
    const SOCKET taken = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(kTestPort);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(taken, reinterpret_cast<const sockaddr*>(&at), sizeof at));
    ASSERT_EQ(0, listen(taken, 1));
    App().exports.http = 1;
    for (int made = 0; made < 2; ++made) {  // made anew with the same settings: said no more
        if (made)
            DestroyWindow(window);
        ASSERT_NE(nullptr, Open());
        ReadNow();
    }
    closesocket(taken);
    ASSERT_EQ(1u, io.Messages().size());
    const std::string& text = io.Messages()[0].text;
    EXPECT_EQ(text.size() - std::strlen("エラーが発生しました。"), text.find("エラーが発生しました。")) << text;
    EXPECT_TRUE(App().monitorTimer != 0);
}

// An apply of the settings dialog ends with the restart command on the
// window's thread: the endpoint follows the keys without a new window.
TEST_F(ExportTest, AnApplyStartsMovesAndStopsTheEndpoint)
{
    Open();
    ReadNow();
    const struct {
        int http;
        uint16_t port;
        uint16_t silent;  // a port that must not answer afterwards
    } steps[] = {
        {1, kTestPort, kTestPort + 1},
        {1, kTestPort + 1, kTestPort},  // moved
        {1, kTestPort, kTestPort + 1},  // back, beside the closed connections of its last answer
        {0, kTestPort, kTestPort},
    };
    for (const auto& step : steps) {
        App().exports.http = step.http;
        App().exports.port = step.port;
        SendMessageA(window, WM_COMMAND, ID_RESTART_MONITOR, 0);
        ReadNow();
        if (step.http) {
            EXPECT_EQ(0u, Fetch("GET /metrics HTTP/1.0\r\n\r\n", step.port).find("HTTP/1.1 200")) << step.port;
        }
        EXPECT_EQ("", Fetch("GET /metrics HTTP/1.0\r\n\r\n", step.silent)) << step.silent;
    }
    EXPECT_TRUE(io.Messages().empty());
}

TEST_F(ExportTest, ThePromFileIsReplacedWholeAndAFailureIsSaidOnce)
{
    const std::string file = dir.File("veskora.prom");
    lstrcpynA(App().exports.promFile, file.c_str(), kPathSize);
    WriteWholeFile(file + ".tmp", "the user's own");
    Open();
    ReadNow();
    // The window's own timer may add readings of its own: the file only
    // has to follow them.
    const int first = ReadingsTotal(ReadWholeFile(file));
    EXPECT_GE(first, 1);
    ReadNow();
    EXPECT_GT(ReadingsTotal(ReadWholeFile(file)), first);
    EXPECT_EQ("the user's own", ReadWholeFile(file + ".tmp"));
    WIN32_FIND_DATAA found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(dir.File("vkp*.tmp").c_str(), &found));
    EXPECT_TRUE(io.Messages().empty());
    EXPECT_FALSE(App().exporter.server.Running());  // a file, and no socket

    for (const char* name : {"NUL.prom", "readings.txt", "missing\\folder\\x.prom"}) {
        lstrcpynA(App().exports.promFile, name, kPathSize);
        io.Clear();
        ReadNow();
        ReadNow();
        EXPECT_EQ(1u, io.Messages().size()) << name;
    }
}

TEST_F(ExportTest, WithTheDefaultsNothingListensAndNothingIsWritten)
{
    App().exports.port = kDefaultExportPort;
    Open();
    ReadNow();
    EXPECT_FALSE(App().exporter.server.Running());
    EXPECT_EQ("", Fetch("GET /metrics HTTP/1.0\r\n\r\n", kDefaultExportPort));
    EXPECT_TRUE(io.Messages().empty());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(dir.File("*.prom*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

// A thousand connections in bursts and twenty held open without a word:
// afterwards the endpoint answers again and the process holds what it held.
TEST_F(ExportTest, AFloodOfConnectionsLeavesNothingBehind)
{
    App().exports.http = 1;
    Open();
    ReadNow();
    ASSERT_EQ(0u, Fetch("GET /metrics HTTP/1.0\r\n\r\n").find("HTTP/1.1 200"));
    const int before = CountKernelHandles();
    std::vector<SOCKET> held;
    for (int i = 0; i < 20; ++i)
        held.push_back(Connect(kTestPort));
    for (int burst = 0; burst < 20; ++burst) {
        std::vector<SOCKET> open;
        for (int i = 0; i < 50; ++i)
            open.push_back(Connect(kTestPort));
        for (SOCKET s : open)
            if (s != INVALID_SOCKET)
                closesocket(s);
    }
    for (SOCKET s : held)
        if (s != INVALID_SOCKET)
            closesocket(s);
    Sleep(kRequestTimeoutMs + 500);  // the last silent ones are dropped by now
    EXPECT_EQ(0u, Fetch("GET /metrics HTTP/1.0\r\n\r\n").find("HTTP/1.1 200"));
    EXPECT_EQ(before, CountKernelHandles());
}

TEST(ExportFormat, LabelsAreEscapedInUtf8AndCountersAndAgeFollowTheReadings)
{
    ExportSnapshot s = {};
    s.values[s.valueCount++] = ExportValue{kExportTemp, 1, "a\"b\\c", 38.0, 0};
    s.values[s.valueCount++] = ExportValue{kExportVolt, 4, "電源", 5.04, 0};
    s.values[s.valueCount++] = ExportValue{kExportVolt, 5, "x", HUGE_VAL, 0};  // a divider of 1e999
    s.alarms[s.alarmCount++] = ExportValue{kExportTemp, 1, "a\"b\\c", 0.0, 1};
    s.cores[s.coreCount++] = ExportCore{3, 51.0, 1};
    s.readings = 7;
    s.failed = 2;
    s.architecture = "x86";
    lstrcpynA(s.version, "1.05", kExportTextSize);
    const struct {
        ULONGLONG lastRead;
        const char* line;
        bool present;
    } cases[] = {
        {0, "veskora_temperature_celsius{label=\"a\\\"b\\\\c\",input=\"temp1\"} 38\n", true},
        {0, "veskora_voltage_volts{label=\"\xE9\x9B\xBB\xE6\xBA\x90\",input=\"in4\"} 5.04\n", true},
        {0, "veskora_alarm{label=\"a\\\"b\\\\c\",input=\"temp1\"} 1\n", true},
        {0, "veskora_voltage_volts{label=\"x\",input=\"in5\"} +Inf\n", true},
        {0, "veskora_core_temperature_celsius{core=\"3\"} 51\n", true},
        {0, "veskora_core_alarm{core=\"3\"} 1\n", true},
        {0, "# TYPE veskora_readings_total counter\nveskora_readings_total 7\n", true},
        {0, "veskora_failed_readings_total 2\n", true},
        {0, "veskora_info{version=\"1.05\",arch=\"x86\",chip=\"\"} 1\n", true},
        {0, "veskora_fan_rpm", false},  // no fan: not even its family
        {0, "veskora_last_reading_age_seconds", false},  // never read
        {10000, "veskora_last_reading_age_seconds 2.5\n", true},
    };
    for (const auto& c : cases) {
        s.lastRead = c.lastRead;
        EXPECT_EQ(c.present, FormatMetrics(s, 12500).find(c.line) != std::string::npos) << c.line;
    }
    s.lastRead = 0;
    EXPECT_NE(std::string::npos, FormatJson(s, 0).find("\"lastReadingAgeSeconds\":null"));
    EXPECT_NE(std::string::npos, FormatJson(s, 0).find("\"input\":\"in5\",\"unit\":\"volts\",\"value\":null}"));
    EXPECT_NE(std::string::npos, FormatJson(s, 0).find("{\"label\":\"a\\\"b\\\\c\",\"input\":\"temp1\",\"alarm\":true}"));
}

}  // namespace
