#include "listfile/import_plan.h"

#include <algorithm>
#include <array>
#include <utility>

#include "listfile/list_text.h"
#include "ui/text_rules.h"

namespace listfile {

using ui::kEol;
using ui::OneLine;
using ui::SameIgnoringAsciiCase;

namespace {

// An Add's error text and the router's texts may be long; the summary keeps one line for each.
constexpr size_t kReasonChars = 200;

bool SamePlace(const PortMapping& a, const PortMapping& b) {
    return a.externalPort == b.externalPort && SameIgnoringAsciiCase(a.protocol, b.protocol);
}

bool SameTarget(const PortMapping& a, const PortMapping& b) {
    return a.internalPort == b.internalPort && SameIgnoringAsciiCase(a.internalClient, b.internalClient);
}

std::wstring ClientAndPort(const PortMapping& mapping) {
    return mapping.internalClient + L":" + PortText(mapping.internalPort);
}

std::wstring Place(const PortMapping& mapping) { return mapping.protocol + L" " + PortText(mapping.externalPort); }

// An Add's error text, without the line end and period of its own.
std::wstring Sentence(std::wstring_view reason) {
    while (!reason.empty() && (reason.back() == L'.' || reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n')) {
        reason.remove_suffix(1);
    }
    return OneLine(reason, kReasonChars);
}

// Why a line was not added, after its mapping.
std::wstring WhyNotAdded(const LineReport& report) {
    switch (report.outcome) {
    case LineOutcome::AlreadyThere: return L"already on the router";
    case LineOutcome::Conflict: return L"the router holds " + Place(report.mapping) + L" for " + OneLine(report.reason, kReasonChars) + L", left as it is";
    case LineOutcome::Failed: {
        const std::wstring why = Sentence(report.reason);
        return why.empty() ? L"failed" : L"failed: " + why;
    }
    default: return L"not tried (the import was cancelled)";
    }
}

}  // namespace

std::vector<PlannedLine> PlanImport(const std::vector<PortMapping>& router, const std::vector<ListedMapping>& file) {
    std::vector<PlannedLine> plan;
    plan.reserve(file.size());
    for (const ListedMapping& listed : file) {
        const PortMapping& wanted = listed.mapping;
        auto there = [&](const PortMapping& held) { return SamePlace(held, wanted) && SameTarget(held, wanted); };
        auto taken = [&](const PortMapping& held) { return SamePlace(held, wanted); };
        auto held = std::find_if(router.begin(), router.end(), there);
        LineAction action = LineAction::AlreadyThere;
        if (held == router.end()) {
            held = std::find_if(router.begin(), router.end(), taken);
            action = held == router.end() ? LineAction::Add : LineAction::Conflict;
        }
        plan.push_back(PlannedLine{listed, action, held == router.end() ? PortMapping{} : *held});
    }
    return plan;
}

std::vector<LineReport> ReportsBeforeAdding(const std::vector<PlannedLine>& plan) {
    std::vector<LineReport> reports;
    reports.reserve(plan.size());
    for (const PlannedLine& planned : plan) {
        LineReport report{planned.listed.line, planned.listed.mapping, LineOutcome::NotTried, {}};
        if (planned.action == LineAction::AlreadyThere) report.outcome = LineOutcome::AlreadyThere;
        if (planned.action == LineAction::Conflict) {
            report.outcome = LineOutcome::Conflict;
            report.reason = ClientAndPort(planned.held);
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

std::wstring MappingTarget(const PortMapping& mapping) { return Place(mapping) + L" to " + ClientAndPort(mapping); }

std::wstring AddingText(size_t position, size_t count, const PortMapping& mapping) {
    return L"Adding " + std::to_wstring(position) + L" of " + std::to_wstring(count) + L": " + MappingTarget(mapping);
}

std::wstring ImportSummary(const std::vector<LineReport>& lines) {
    std::array<size_t, 5> counts{};
    std::vector<std::wstring> notAdded;
    for (const LineReport& report : lines) {
        ++counts[static_cast<size_t>(report.outcome)];
        if (report.outcome == LineOutcome::Added) continue;
        notAdded.push_back(L"Line " + std::to_wstring(report.line) + L": " + MappingTarget(report.mapping) + L": " +
                           WhyNotAdded(report) + L".");
    }
    std::wstring text = std::to_wstring(counts[0]) + L" added, " + std::to_wstring(counts[1]) + L" already on the router, " +
                        std::to_wstring(counts[2]) + L" in conflict, " + std::to_wstring(counts[3]) + L" failed, " +
                        std::to_wstring(counts[4]) + L" not tried." + kEol;
    if (!notAdded.empty()) text += kEol + AtMostTen(notAdded);
    return text;
}

}  // namespace listfile
