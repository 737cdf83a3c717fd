#include "check/check_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <set>
#include <string_view>

#include "check/cell_table.h"
#include "common/failure.h"

namespace sv::check {

using backup::Arg;
using backup::Args;
using backup::AutomationObject;
using backup::Object;
using backup::PageCell;
using backup::ToArg;
using backup::VariantArray;

namespace {

constexpr std::size_t kCellCount = backup::kPageCells.size();

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

// Cell values agree when they are the same number (to the last few digits a double keeps
// through a round trip) or the same text.
bool SameValue(const Arg& a, const Arg& b) {
    auto x = AsNumber(a);
    auto y = AsNumber(b);
    if (x && y) {
        return std::fabs(*x - *y) <= 1e-9 * std::max(1.0, std::fabs(*x));
    }
    return a == b;
}

std::string Shown(const Arg& value) {
    if (auto n = AsNumber(value)) {
        return Number(*n);
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        return "\"" + *s + "\"";
    }
    return "(empty)";
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) {
        text += text.empty() ? p : "; " + p;
    }
    return text;
}

}  // namespace

std::optional<double> AsNumber(const Arg& value) {
    if (const auto* d = std::get_if<double>(&value)) {
        return *d;
    }
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        return *i;
    }
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? -1.0 : 0.0;
    }
    return std::nullopt;
}

// 3: the cell table by index, then by universal name, then in one batch.
void Checks::CheckCells() {
    if (firstPage_.empty() || secondPage_.empty()) {
        Unknown("Shape.CellsSRC", "needs the two pages Pages.Item and Pages.Add did not give");
        return;
    }
    Object source;
    Object target;
    if (!Try("Page.PageSheet", "reading it", [&] {
            source = Sheet(firstPage_);
            target = Sheet(secondPage_);
        })) {
        return;
    }
    for (CheckLine& line : CheckCellIndices(backup::kPageCells, [&](const PageCell& cell) {
             Args at{std::int32_t{cell.section}, std::int32_t{cell.row}, std::int32_t{cell.cell}};
             try {
                 return source->GetObj("CellsSRC", at)->GetText("Name");
             } catch (const std::exception& e) {
                 throw Failure(Why(e));
             }
         })) {
        report_.lines.push_back(std::move(line));
    }
    std::vector<Arg> values;
    if (!CheckCellsByName(*source, values)) {
        Unknown("Shape.GetResults", "needs every cell read by CellsU to compare with");
        return;
    }
    CheckBatch(*source, *target, values);
}

// Each cell read, written with a value of its own, and read back.
bool Checks::CheckCellsByName(AutomationObject& sheet, std::vector<Arg>& values) {
    std::vector<std::string> problems;
    for (const PageCell& cell : backup::kPageCells) {
        const Args name{std::string(cell.name)};
        try {
            Object written = sheet.GetObj("CellsU", name);
            Arg value = written->GetDefault().AsArg();
            if (auto n = AsNumber(value)) {
                value = Changed(cell, *n);
            }
            // CellsU is get-only: the cell it gives is written.
            written->PutDefault(value);
            Arg back = sheet.GetObj("CellsU", name)->GetDefault().AsArg();
            if (!SameValue(back, value)) {
                problems.push_back(std::string(cell.name) + " written " + Shown(value) +
                                   ", read back " + Shown(back));
            }
            values.push_back(back);
        } catch (const std::exception& e) {
            problems.push_back(std::string(cell.name) + ": " + Why(e));
            values.emplace_back();
        }
    }
    if (!problems.empty()) {
        Fail("Shape.CellsU", Joined(problems));
        return false;
    }
    Pass("Shape.CellsU",
         "reads and writes all " + std::to_string(kCellCount) + " page cells by universal name");
    return true;
}

// Lengths are moved off their defaults, so that a copy that misses one shows.
Arg Checks::Changed(const PageCell& cell, double value) {
    static const std::set<std::string_view> kLengths = {
        "PageWidth",    "PageHeight",  "ShdwOffsetX", "ShdwOffsetY", "XRulerOrigin",
        "YRulerOrigin", "XGridOrigin", "YGridOrigin", "BlockSizeX",  "BlockSizeY"};
    if (kLengths.count(cell.name)) {
        return value + 0.25 + 0.01 * static_cast<double>(&cell - backup::kPageCells.data());
    }
    return value;
}

void Checks::CheckBatch(AutomationObject& source, AutomationObject& target,
                        const std::vector<Arg>& expected) {
    VariantArray results;
    if (!Try("Shape.GetResults", "reading the " + std::to_string(kCellCount) + " cells", [&] {
            Args args{backup::PageCellStream(), std::int32_t{0}, VariantArray{}, VariantArray{}};
            source.CallWithArrays("GetResults", args);
            results = std::get<VariantArray>(args[3]);
        })) {
        return;
    }
    std::vector<std::string> differ;
    for (std::size_t i = 0; i < kCellCount; ++i) {
        const Arg got = i < results.items.size() ? ToArg(results.items[i]) : Arg();
        if (!SameValue(got, expected[i])) {
            differ.push_back(std::string(backup::kPageCells[i].name) + " " + Shown(got) +
                             " where CellsU reads " + Shown(expected[i]));
        }
    }
    if (results.items.size() != kCellCount || !differ.empty()) {
        Fail("Shape.GetResults", std::to_string(results.items.size()) + " results for " +
                                     std::to_string(kCellCount) + " cells" +
                                     (differ.empty() ? "" : ": " + Joined(differ)));
        return;
    }
    Pass("Shape.GetResults", "gives what CellsU reads, cell by cell");
    if (!Try("Shape.SetResults", "writing the cells of the other page", [&] {
            Args args{backup::PageCellStream(), VariantArray{}, results, std::int32_t{0}};
            target.CallWithArrays("SetResults", args);
        })) {
        return;
    }
    differ.clear();
    for (std::size_t i = 0; i < kCellCount; ++i) {
        const Args name{std::string(backup::kPageCells[i].name)};
        try {
            Arg got = target.GetObj("CellsU", name)->GetDefault().AsArg();
            if (!SameValue(got, expected[i])) {
                differ.push_back(std::string(backup::kPageCells[i].name) + " " + Shown(got) +
                                 " instead of " + Shown(expected[i]));
            }
        } catch (const std::exception& e) {
            differ.push_back(std::string(backup::kPageCells[i].name) + ": " + Why(e));
        }
    }
    if (!differ.empty()) {
        Fail("Shape.SetResults", "the other page's cells read back as " + Joined(differ));
        return;
    }
    Pass("Shape.SetResults",
         "a GetResults/SetResults round trip between two pages copies exactly what CellsU "
         "reads");
}

}  // namespace sv::check
