#include "chart_text.h"

#include "numtext.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

/// The blanks that set a legend's text off its colour line.
constexpr std::string_view kLegendIndent = "  ";

/// Longest prefix of `word` (whole UTF-8 characters, at least one) no wider than `width`.
size_t fittingPrefix(const Canvas& c, std::string_view word, std::string_view indent, double width)
{
    size_t best = 0;
    for (size_t at = 1; at <= word.size(); ++at) {
        if (at < word.size() && (static_cast<unsigned char>(word[at]) & 0xc0) == 0x80) continue;
        if (c.textWidth(std::string(indent) + std::string(word.substr(0, at))) > width) break;
        best = at;
    }
    if (best == 0) {
        // Not even one character fits: take the first one whole.
        best = 1;
        while (best < word.size() && (static_cast<unsigned char>(word[best]) & 0xc0) == 0x80) ++best;
    }
    return best;
}

} // namespace

std::string tickText(double v, int minDecimals, int maxDecimals)
{
    std::string s = fixed(v, maxDecimals);
    const size_t point = s.find('.');
    if (point == std::string::npos) return s;
    const size_t keep = point + 1 + static_cast<size_t>(std::max(minDecimals, 0));
    while (s.size() > keep && s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

void xTickLabels(Canvas& c, const std::vector<TickLabel>& labels, double top)
{
    if (labels.empty()) return;
    // A blank's width between neighbours.
    const double gap = c.textWidth(" ");
    const auto leftOf = [&](const TickLabel& l) { return l.at - c.textWidth(l.text) / 2; };
    const auto rightOf = [&](const TickLabel& l) { return l.at + c.textWidth(l.text) / 2; };
    const TickLabel& last = labels.back();
    double reached = -HUGE_VAL;
    for (size_t i = 0; i + 1 < labels.size(); ++i) {
        const TickLabel& l = labels[i];
        if (leftOf(l) < reached + gap || rightOf(l) + gap > leftOf(last)) continue;
        c.setCurrentPosition(leftOf(l), top);
        c.print(l.text, false);
        reached = rightOf(l);
    }
    c.setCurrentPosition(leftOf(last), top);
    c.print(last.text, false);
}

void yTickLabel(Canvas& c, double axisX, double at, std::string_view text)
{
    c.setCurrentPosition(axisX - c.textWidth(text) - c.textWidth(" "), at + c.lineHeight() / 2);
    c.print(text, false);
}

std::vector<std::string> wrapText(const Canvas& c, std::string_view text, double width,
                                  std::string_view indent)
{
    std::vector<std::string> lines;
    std::string line;
    const auto fits = [&](const std::string& s) { return c.textWidth(std::string(indent) + s) <= width; };
    const auto flush = [&] {
        if (!line.empty()) lines.push_back(std::string(indent) + line);
        line.clear();
    };
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        // The blanks between words are kept as typed (the summary sets figures apart by two).
        const std::string_view blanks = text.substr(at, start - at);
        std::string_view word = text.substr(start, end - start);
        at = end;
        if (!line.empty() && fits(line + std::string(blanks) + std::string(word))) {
            line += std::string(blanks) + std::string(word);
            continue;
        }
        flush();
        while (!fits(std::string(word))) {
            const size_t cut = fittingPrefix(c, word, indent, width);
            lines.push_back(std::string(indent) + std::string(word.substr(0, cut)));
            word.remove_prefix(cut);
            if (word.empty()) break;
        }
        line = std::string(word);
    }
    flush();
    if (lines.empty()) lines.push_back(std::string(indent));
    return lines;
}

void drawLegend(Canvas& c, const PlotArea& plot, LegendPlace place,
                const std::vector<LegendEntry>& entries)
{
    if (entries.empty()) return;
    // A small gap keeps the last character off the plot's right side.
    const double margin = c.textWidth(" ") / 2;
    double widest = 0;
    for (const LegendEntry& e : entries) {
        for (const std::string& t : e.texts) {
            widest = std::max(widest, c.textWidth(std::string(kLegendIndent) + t));
        }
    }
    const double needed = place.x + place.lineLength + widest + margin;
    if (needed > plot.right) {
        place.x = std::max(plot.left, plot.right - margin - widest - place.lineLength);
    }
    const double textLeft = place.x + place.lineLength;
    const double room = plot.right - margin - textLeft;
    std::vector<std::vector<std::string>> wrapped;
    size_t tallest = 1;
    for (const LegendEntry& e : entries) {
        std::vector<std::string> lines;
        for (const std::string& t : e.texts) {
            for (std::string& l : wrapText(c, t, room, kLegendIndent)) lines.push_back(std::move(l));
        }
        tallest = std::max(tallest, lines.size());
        wrapped.push_back(std::move(lines));
    }
    const double lh = c.lineHeight();
    place.pitch = std::max(place.pitch, static_cast<double>(tallest) * lh + 0.2 * lh);
    for (size_t k = 0; k < entries.size(); ++k) {
        const LegendEntry& e = entries[k];
        const double row = place.firstRow - place.pitch * e.row;
        c.line(place.x, row, textLeft, row, e.colour);
        double top = row + place.raise;
        for (const std::string& l : wrapped[k]) {
            c.setCurrentPosition(textLeft, top);
            c.print(l, false);
            top -= lh;
        }
    }
}

} // namespace vantry
