#include "measured_from.h"

#include "dqe_report_menu.h"

#include <charconv>
#include <ctime>

namespace vantry {

std::string isoDateNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return date;
}

std::string settingText(double value)
{
    char buf[64];
    const auto f = static_cast<float>(value);
    // A setting held in single precision shows as typed (0.03, not 0.029999999329447746).
    const auto written = static_cast<double>(f) == value ? std::to_chars(buf, buf + sizeof buf, f)
                                                          : std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, written.ptr);
}

std::string programVersion()
{
    return VANTRY_VERSION;
}

CurveSource measuredFrom(Vylsf& v, int view, std::string label, std::string method,
                         std::vector<std::pair<std::string, std::string>> settings)
{
    const ReportFile file = curveSource(v, view);
    CurveSource s;
    s.label = std::move(label);
    s.path = file.path;
    s.sha256 = file.path.empty() ? std::string() : v.host().fileSha256(file.path);
    s.preset = file.preset;
    s.pitchMm = file.pitchMm;
    s.pitchFrom = file.pitchFrom;
    s.roi = file.roi;
    s.method = std::move(method);
    s.settings = std::move(settings);
    s.date = isoDateNow();
    s.version = programVersion();
    return s;
}

} // namespace vantry
