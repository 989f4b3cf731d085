#include "app/export.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

// In the order they are written; the value kinds first, by ExportKind.
const Family kValueFamilies[] = {
    {"veskora_temperature_celsius", "gauge", "Temperature of a sensor input in degrees Celsius."},
    {"veskora_fan_rpm", "gauge", "Speed of a turning fan in revolutions per minute."},
    {"veskora_fan_duty_ratio", "gauge", "Duty cycle of a fan output, 0 to 1."},
    {"veskora_voltage_volts", "gauge", "Voltage of a sensor input in volts."},
};
const Family kCoreTemperature = {"veskora_core_temperature_celsius", "gauge",
                                 "Temperature of a processor core in degrees Celsius."};
const Family kRowAlarm = {"veskora_alarm", "gauge", "Whether the alarm of a shown row holds (1) or not (0)."};
const Family kCoreAlarm = {"veskora_core_alarm", "gauge", "Whether the alarm of a processor core holds (1) or not (0)."};
const Family kAge = {"veskora_last_reading_age_seconds", "gauge",
                     "Seconds since the last reading that read the chip."};
const Family kReadings = {"veskora_readings_total", "counter", "Readings taken since the window opened."};
const Family kFailed = {"veskora_failed_readings_total", "counter",
                        "Readings that read nothing (the bus busy, a failed request)."};
const Family kInfo = {"veskora_info", "gauge", "The program's version, build architecture and chip; always 1."};

const char* const kInputNames[] = {"temp", "fan", "pwm", "in"};
const char* const kJsonUnits[] = {"celsius", "rpm", "ratio", "volts"};

// A divider from the settings file can make a value infinite: the
// exposition format has its own words for it, and JSON has none.
std::string Number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string JsonNumber(double value)
{
    return std::isfinite(value) ? Number(value) : "null";
}

std::string Count(unsigned long long value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu", value);
    return text;
}

std::string Input(int kind, int item)
{
    return std::string(ExportInputName(kind)) + std::to_string(item);
}

// A label value: backslash, quote and line feed escaped.
std::string LabelValue(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void Header(std::string& out, const Family& f)
{
    out += "# HELP ";
    out += f.name;
    out += ' ';
    out += f.help;
    out += "\n# TYPE ";
    out += f.name;
    out += ' ';
    out += f.type;
    out += '\n';
}

void Sample(std::string& out, const Family& f, const std::string& labels, const std::string& value)
{
    out += f.name;
    if (!labels.empty())
        out += "{" + labels + "}";
    out += ' ' + value + '\n';
}

std::string RowLabels(const ExportValue& v)
{
    return "label=\"" + LabelValue(ToUtf8(v.label)) + "\",input=\"" + Input(v.kind, v.item) + "\"";
}

std::string CoreLabels(const ExportCore& c)
{
    return "core=\"" + std::to_string(c.core) + "\"";
}

double AgeSeconds(const ExportSnapshot& s, ULONGLONG now)
{
    return now > s.lastRead ? static_cast<double>(now - s.lastRead) / 1000.0 : 0.0;
}

}  // namespace

const char* ExportInputName(int kind)
{
    return kind >= 0 && kind < 4 ? kInputNames[kind] : "";
}

std::string ToUtf8(const char* text)
{
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wide <= 0)
        return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

std::string FormatMetrics(const ExportSnapshot& s, ULONGLONG now)
{
    std::string out;
    for (int kind = 0; kind < 4; ++kind) {
        bool any = false;
        for (int i = 0; i < s.valueCount; ++i) {
            const ExportValue& v = s.values[i];
            if (v.kind != kind)
                continue;
            if (!any)
                Header(out, kValueFamilies[kind]);
            any = true;
            Sample(out, kValueFamilies[kind], RowLabels(v), Number(v.value));
        }
    }
    if (s.coreCount > 0) {
        Header(out, kCoreTemperature);
        for (int i = 0; i < s.coreCount; ++i)
            Sample(out, kCoreTemperature, CoreLabels(s.cores[i]), Number(s.cores[i].celsius));
    }
    if (s.alarmCount > 0) {
        Header(out, kRowAlarm);
        for (int i = 0; i < s.alarmCount; ++i)
            Sample(out, kRowAlarm, RowLabels(s.alarms[i]), s.alarms[i].alarm ? "1" : "0");
    }
    if (s.coreCount > 0) {
        Header(out, kCoreAlarm);
        for (int i = 0; i < s.coreCount; ++i)
            Sample(out, kCoreAlarm, CoreLabels(s.cores[i]), s.cores[i].alarm ? "1" : "0");
    }
    if (s.lastRead) {
        Header(out, kAge);
        Sample(out, kAge, "", Number(AgeSeconds(s, now)));
    }
    Header(out, kReadings);
    Sample(out, kReadings, "", Count(s.readings));
    Header(out, kFailed);
    Sample(out, kFailed, "", Count(s.failed));
    Header(out, kInfo);
    Sample(out, kInfo,
           "version=\"" + LabelValue(ToUtf8(s.version)) + "\",arch=\"" + LabelValue(s.architecture ? s.architecture : "") +
               "\",chip=\"" + LabelValue(ToUtf8(s.chip)) + "\"",
           "1");
    return out;
}

std::string FormatJson(const ExportSnapshot& s, ULONGLONG now)
{
    std::string out = "{\"version\":" + JsonString(ToUtf8(s.version)) +
                      ",\"architecture\":" + JsonString(s.architecture ? s.architecture : "") +
                      ",\"chip\":" + JsonString(ToUtf8(s.chip)) + ",\"readings\":" + Count(s.readings) +
                      ",\"failedReadings\":" + Count(s.failed) + ",\"lastReadingAgeSeconds\":" +
                      (s.lastRead ? JsonNumber(AgeSeconds(s, now)) : std::string("null")) + ",\"values\":[";
    for (int i = 0; i < s.valueCount; ++i) {
        const ExportValue& v = s.values[i];
        out += std::string(i ? "," : "") + "{\"label\":" + JsonString(ToUtf8(v.label)) + ",\"input\":\"" +
               Input(v.kind, v.item) + "\",\"unit\":\"" + kJsonUnits[v.kind] +
               "\",\"value\":" + JsonNumber(v.value) + "}";
    }
    out += "],\"alarms\":[";
    for (int i = 0; i < s.alarmCount; ++i) {
        const ExportValue& v = s.alarms[i];
        out += std::string(i ? "," : "") + "{\"label\":" + JsonString(ToUtf8(v.label)) + ",\"input\":\"" +
               Input(v.kind, v.item) + "\",\"alarm\":" + (v.alarm ? "true" : "false") + "}";
    }
    out += "],\"cores\":[";
    for (int i = 0; i < s.coreCount; ++i) {
        const ExportCore& c = s.cores[i];
        out += std::string(i ? "," : "") + "{\"core\":" + std::to_string(c.core) + ",\"celsius\":" +
               JsonNumber(c.celsius) + ",\"alarm\":" + (c.alarm ? "true" : "false") + "}";
    }
    return out + "]}\n";
}
