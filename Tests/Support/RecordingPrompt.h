// A test prompt for the assertion report: records every report it is shown and answers Ignore, so
// that tests can check the report and that the caller carries on.
#pragma once
#include <Foundation/tStandard.h>
#include <string>
#include <vector>

class RecordingPrompt
{
public:
    RecordingPrompt()
    {
        Previous = tSetAssertPrompt(&Record);
        Reports().clear();
    }
    ~RecordingPrompt() { tSetAssertPrompt(Previous); }
    RecordingPrompt(const RecordingPrompt&) = delete;
    RecordingPrompt& operator=(const RecordingPrompt&) = delete;

    static std::vector<std::string>& Reports()
    {
        static std::vector<std::string> reports;
        return reports;
    }

    // The "Expr: [...]" and "Line: [...]" of the last report, for terse expectations.
    static std::string LastField(const char* field)
    {
        if (Reports().empty())
            return "<no report>";
        const std::string& r = Reports().back();
        const std::string key = std::string(field) + ": [";
        const std::size_t at = r.find(key);
        if (at == std::string::npos)
            return "<no " + std::string(field) + ">";
        const std::size_t from = at + key.size();
        return r.substr(from, r.find("]\n", from) - from);
    }

private:
    static tAssertAnswer Record(const char* text, const char* /*title*/)
    {
        Reports().push_back(text);
        return tAssertAnswer::Ignore;
    }
    tAssertPrompt Previous;
};
