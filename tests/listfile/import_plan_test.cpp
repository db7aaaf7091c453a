// The import's merge against the router's table and the summary it ends with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listfile/import_plan.h"
#include "tests/listfile/listfile_test_support.h"

namespace {

using listfile::LineOutcome;

const std::vector<PortMapping> kRouter = {Mapping(L"TCP", 8080, L"192.0.2.20", 80, -1, L"Web"),
                                          Mapping(L"UDP", 3074, L"192.0.2.30", 3074), Mapping(L"tcp", 22, L"NAS", 22)};

// The outcome the plan gives the line, and the client of the router's mapping it conflicts with.
struct PlanCase {
    PortMapping listed;
    LineOutcome outcome;
    const wchar_t* heldClient;
};

const PlanCase kPlanCases[] = {
    {Mapping(L"TCP", 8080, L"192.0.2.20", 80, 0, L"other text"), LineOutcome::AlreadyThere, L"<no internal client>"},
    {Mapping(L"TCP", 8080, L"192.0.2.20", 81), LineOutcome::Conflict, L"192.0.2.20"},
    {Mapping(L"TCP", 8080, L"192.0.2.21", 80), LineOutcome::Conflict, L"192.0.2.20"},
    {Mapping(L"UDP", 8080, L"192.0.2.20", 80), LineOutcome::ToAdd, L"<no internal client>"},
    {Mapping(L"UDP", 3074, L"192.0.2.21", 3074), LineOutcome::Conflict, L"192.0.2.30"},
    {Mapping(L"TCP", 22, L"nas", 22), LineOutcome::AlreadyThere, L"<no internal client>"},
    {Mapping(L"TCP", 23, L"nas", 22), LineOutcome::ToAdd, L"<no internal client>"},
};

TEST(PlanImport, AddsWhatIsMissingAndNeverOverwrites) {
    std::vector<listfile::ListedMapping> file;
    for (const PlanCase& c : kPlanCases) file.push_back({file.size() + 2, c.listed});
    const std::vector<listfile::LineReport> plan = listfile::PlanImport(kRouter, file);
    ASSERT_EQ(plan.size(), std::size(kPlanCases));
    for (size_t i = 0; i < plan.size(); ++i) {
        SCOPED_TRACE(listfile::MappingTarget(kPlanCases[i].listed));
        EXPECT_EQ(plan[i].line, i + 2);
        EXPECT_EQ(plan[i].outcome, kPlanCases[i].outcome);
        EXPECT_EQ(plan[i].held.internalClient, kPlanCases[i].heldClient);
    }
}

TEST(ImportTexts, NameTheMappingAndTheStep) {
    const PortMapping mapping = Mapping(L"TCP", 8080, L"192.0.2.20", 80);
    EXPECT_EQ(listfile::MappingTarget(mapping), L"TCP 8080 to 192.0.2.20:80");
    EXPECT_EQ(listfile::AddingText(12, 50, mapping), L"Adding 12 of 50: TCP 8080 to 192.0.2.20:80");
}

listfile::LineReport Report(size_t line, LineOutcome outcome, const wchar_t* reason = L"") {
    const bool conflict = outcome == LineOutcome::Conflict;  // reason: the client the router holds, else why it failed
    return {line, Mapping(L"UDP", 3074, L"192.0.2.21", 3074), outcome, Mapping(L"UDP", 3074, conflict ? reason : L"", 3074), conflict ? L"" : reason};
}

struct SummaryCase {
    const char* name;
    std::vector<listfile::LineReport> lines;
    std::wstring summary;
};

const std::wstring kNotAdded = L"UDP 3074 to 192.0.2.21:3074: ";
const std::wstring kNotTried = L"Line 4: " + kNotAdded + L"not tried (the import was cancelled).\r\n";
std::wstring Times(int n, const std::wstring& text) { return n > 0 ? text + Times(n - 1, text) : L""; }

const SummaryCase kSummaryCases[] = {
    {"all added", std::vector<listfile::LineReport>(5, Report(2, LineOutcome::Added)),
     L"5 added, 0 already on the router, 0 in conflict, 0 failed, 0 not tried.\r\n"},
    {"each outcome",
     {Report(2, LineOutcome::Added), Report(3, LineOutcome::AlreadyThere), Report(5, LineOutcome::Conflict, L"pc\r\n30"),
      Report(6, LineOutcome::Failed, L"The router refused\r\nit.\r\n"), Report(7, LineOutcome::Failed), Report(8, LineOutcome::ToAdd)},
     L"1 added, 1 already on the router, 1 in conflict, 2 failed, 1 not tried.\r\n\r\n"
     L"Line 3: " + kNotAdded + L"already on the router.\r\n"
     L"Line 5: " + kNotAdded + L"the router holds UDP 3074 for pc  30:3074, left as it is.\r\n"
     L"Line 6: " + kNotAdded + L"failed: The router refused  it.\r\n"
     L"Line 7: " + kNotAdded + L"failed.\r\n"
     L"Line 8: " + kNotAdded + L"not tried (the import was cancelled).\r\n"},
    {"ten lines, then the count", std::vector<listfile::LineReport>(12, Report(4, LineOutcome::ToAdd)),
     L"0 added, 0 already on the router, 0 in conflict, 0 failed, 12 not tried.\r\n\r\n" + Times(10, kNotTried) + L"... and 2 more\r\n"},
};

TEST(ImportSummary, CountsEachOutcomeAndSaysWhyLinesWereNotAdded) {
    for (const SummaryCase& c : kSummaryCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(listfile::ImportSummary(c.lines), c.summary);
    }
}

}  // namespace
