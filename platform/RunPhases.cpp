#include "platform/RunPhases.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vb {
namespace {

using Clock = std::chrono::steady_clock;

struct PhaseTotal {
    const char* Name;
    double Milliseconds = 0;
    int Entered = 0;
};

struct PhaseBook {
    Clock::time_point Start = Clock::now();
    Clock::time_point Last = Start;
    const char* Current = "other";
    std::vector<PhaseTotal> Totals{{"other"}};

    PhaseTotal& Find(const char* name) {
        for (PhaseTotal& t : Totals)
            if (t.Name == name || std::strcmp(t.Name, name) == 0) return t;
        Totals.push_back({name});
        return Totals.back();
    }
    // Bills the time since the last switch to the current phase and makes `next`
    // current.
    void SwitchTo(const char* next) {
        const Clock::time_point now = Clock::now();
        Find(Current).Milliseconds += std::chrono::duration<double, std::milli>(now - Last).count();
        Last = now;
        Current = next;
    }
};

PhaseBook& Book() {
    static PhaseBook* book = [] {
        auto* b = new PhaseBook;  // lives until the process ends, after the report
        std::atexit([] { std::fputs(RunPhase::Report().c_str(), stderr); });
        return b;
    }();
    return *book;
}

}  // namespace

bool RunPhase::Enabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("VB_BENCH_PHASES");
        if (!value || !*value) return false;
        Book();
        return true;
    }();
    return enabled;
}

RunPhase::RunPhase(const char* name) {
    if (!Enabled()) return;
    PhaseBook& book = Book();
    FPrevious = book.Current;
    ++book.Find(name).Entered;
    book.SwitchTo(name);
}

RunPhase::~RunPhase() {
    if (FPrevious) Book().SwitchTo(FPrevious);
}

std::string RunPhase::Report() {
    if (!Enabled()) return {};
    PhaseBook& book = Book();
    book.SwitchTo(book.Current);
    const double total = std::chrono::duration<double, std::milli>(book.Last - book.Start).count();
    std::string text = "phase                              ms   entered\n";
    char line[96];
    for (const PhaseTotal& t : book.Totals) {
        std::snprintf(line, sizeof line, "%-28s %10.1f %9d\n", t.Name, t.Milliseconds, t.Entered);
        text += line;
    }
    std::snprintf(line, sizeof line, "%-28s %10.1f\n", "total in process", total);
    return text + line;
}

}  // namespace vb
