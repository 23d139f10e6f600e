#pragma once
// Stands in for systemctl, loginctl and crontab: records every call and answers from
// a table; a crontab written with "crontab -" is what "crontab -l" lists next.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/Scheduler.h"

namespace vb::test {

class FakeSchedulerCommands : public SchedulerCommands {
public:
    bool SystemdAnswers = true;
    bool HaveCrontab = true;
    std::optional<std::string> Crontab;      // nullopt: "no crontab for ..."
    std::map<std::string, Result> Answers;   // by the joined command line
    std::vector<std::string> Calls;

    Result Run(const std::vector<std::string>& argv, const std::string& input = {}) override {
        std::string line;
        for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
        Calls.push_back(line);
        if (line.find("show-environment") != std::string::npos) return {SystemdAnswers ? 0 : 1, ""};
        if (argv[0] == "crontab") {
            if (!HaveCrontab) return {127, ""};
            if (line == "crontab -l") return Crontab ? Result{0, *Crontab} : Result{1, "no crontab for lehrer\n"};
            if (line == "crontab -") {
                Crontab = input;
                return {0, ""};
            }
        }
        const auto answer = Answers.find(line);
        return answer == Answers.end() ? Result{0, ""} : answer->second;
    }
};

}  // namespace vb::test
