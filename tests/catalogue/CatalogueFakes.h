#pragma once
// Scripted answers for the job list and the definition list, recording what the
// rules asked and did.
#include <deque>
#include <string>
#include <vector>

#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"

namespace vb::test {

class FakeJobHost : public JobListHost {
public:
    std::string FDatenDir;
    std::deque<bool> FAnswers;  // answers to the next questions; "&Nein" when empty
    std::vector<std::string> FQuestions;
    std::vector<std::string> FTrashed;
    std::vector<std::string> FSelectorItems;
    int FLoads = 0;
    int FFills = 0;
    TJob FJob;
    JobList* FList = nullptr;
    DefinitionList* FDefinitions = nullptr;  // when set, LoadCurrentJob switches it too

    std::string DatenDir() const override { return FDatenDir; }
    bool ConfirmYesNo(const std::string& text) override {
        FQuestions.push_back(text);
        if (FAnswers.empty()) return false;
        const bool answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
    bool MoveToTrash(const std::string& path) override {
        FTrashed.push_back(path);
        return true;
    }
    void LoadCurrentJob() override {
        ++FLoads;
        FJob = FList->CurrentJob();
        if (FDefinitions) FDefinitions->OpenForJob(FJob);
    }
    void FillJobSelectors() override {
        ++FFills;
        FSelectorItems = FList->Names();
    }
};

class FakeDefinitionHost : public DefinitionListHost {
public:
    std::vector<std::string> FMessages;
    void ShowMessage(const std::string& text) override { FMessages.push_back(text); }
};

}  // namespace vb::test
