#include "platform/AttributeRuns.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace quillon;
using UnitRun = AttributeRuns::Run;

namespace {

std::vector<quint32> expand(const AttributeRuns& runs)
{
    std::vector<quint32> ids;
    for (AttributeRuns::Cursor c = runs.find(0); c.isValid(); c.next())
        ids.insert(ids.end(), size_t(c.length()), c.set());
    return ids;
}

qsizetype maximalRunCount(const std::vector<quint32>& ids)
{
    qsizetype count = 0;
    for (size_t i = 0; i < ids.size(); ++i)
        count += i == 0 || ids[i] != ids[i - 1] ? 1 : 0;
    return count;
}

} // namespace

// A long random sequence of edits checked against one set id per unit. The tree grows to three
// levels in small runs, shrinks through large deletions and grows again; after every step its
// bookkeeping (lengths up the tree, leaf links, fill, no two adjacent runs with one set) holds.
TEST(AttributeRuns, RandomEditsMatchOneIdPerUnit)
{
    std::mt19937 rng(20240611);
    auto below = [&](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % quint64(n)); };
    AttributeRuns runs;
    std::vector<quint32> model;
    qsizetype mostRuns = 0;
    for (int step = 0; step < 4000; ++step) {
        const qsizetype n = qsizetype(model.size());
        const bool shrinking = step % 2000 >= 1400;
        const int op = int(below(100));
        if (step == 2000) {
            runs.assign(7, 3);
            model.assign(7, 3);
        } else if (op < 45) {
            // Replace a range with runs: mostly a few units, now and then a large stretch.
            const qsizetype from = below(n + 1);
            const qsizetype span = below(shrinking && op < 15 ? n / 3 + 1 : 6);
            const qsizetype to = std::min(n, from + span);
            std::vector<UnitRun> inserted(size_t(below(shrinking ? 3 : 120)));
            std::vector<quint32> units;
            for (UnitRun& r : inserted) {
                r = { below(4), quint32(below(5)) }; // empty runs are allowed and skipped
                units.insert(units.end(), size_t(r.length), r.set);
            }
            runs.replace(from, to, inserted.data(), inserted.size());
            model.erase(model.begin() + from, model.begin() + to);
            model.insert(model.begin() + from, units.begin(), units.end());
        } else if (op < 90) {
            const qsizetype from = below(n + 1) - 1; // may start before the text
            const qsizetype to = from + below(op < 60 ? 8 : shrinking ? n / 2 + 2 : 40);
            const quint32 a = quint32(below(5));
            const quint32 b = quint32(below(5));
            auto map = [&](quint32 set) -> quint32 {
                if (op < 70)
                    return a;
                return op < 80 ? (set + a) % 5 : (set == a ? b : set);
            };
            runs.rewrite(from, to, map);
            for (qsizetype i = std::max<qsizetype>(from, 0); i < std::min(to, n); ++i)
                model[size_t(i)] = map(model[size_t(i)]);
        } else if (op < 93) {
            AttributeRuns copy(runs);
            ASSERT_TRUE(copy.isConsistent());
            runs = AttributeRuns(); // the copy must not share nodes with the original
            runs = std::move(copy);
        } else {
            // Single units typed anywhere, as the editor does.
            const qsizetype at = below(n + 1);
            const quint32 set = quint32(below(5));
            runs.replace(at, at, { 1, set });
            model.insert(model.begin() + at, set);
        }
        ASSERT_TRUE(runs.isConsistent()) << "step " << step;
        ASSERT_EQ(runs.length(), qsizetype(model.size())) << "step " << step;
        if (step % 10 == 0 || step > 3950) {
            ASSERT_EQ(expand(runs), model) << "step " << step;
            ASSERT_EQ(runs.runCount(), maximalRunCount(model)) << "step " << step;
        }
        if (!model.empty()) {
            const qsizetype at = below(qsizetype(model.size()));
            const AttributeRuns::Cursor c = runs.find(at);
            ASSERT_TRUE(c.isValid());
            EXPECT_EQ(c.set(), model[size_t(at)]);
            EXPECT_TRUE(c.start() <= at && at < c.end());
            AttributeRuns::Cursor before = c;
            before.previous();
            if (c.start() > 0) {
                ASSERT_TRUE(before.isValid());
                EXPECT_EQ(before.end(), c.start());
                EXPECT_NE(before.set(), c.set());
            } else {
                EXPECT_FALSE(before.isValid());
            }
        }
        mostRuns = std::max(mostRuns, runs.runCount());
    }
    // More runs than 64 leaves of 64 hold: the root had inner nodes below it.
    EXPECT_GT(mostRuns, 64 * 64);
    EXPECT_FALSE(runs.find(-1).isValid());
    EXPECT_FALSE(runs.find(runs.length()).isValid());
}

// A restyle puts each stretch's runs back in one call, stretch after stretch, and again over a
// text already styled. The leaves they go into are filled, not split in half on the way: the
// runs take little more than their own size (8 bytes each), about half of what half-empty leaves
// take.
TEST(AttributeRuns, StretchesOfRunsPutBackFillTheLeaves)
{
    constexpr qsizetype kUnits = 400000;
    constexpr qsizetype kStretch = 4096;
    AttributeRuns runs;
    runs.assign(kUnits, 0);
    std::vector<quint32> model(size_t(kUnits), 0);
    std::mt19937 rng(7);
    auto restyle = [&](qsizetype from, qsizetype to) {
        std::vector<UnitRun> styled;
        for (qsizetype at = from; at < to;) {
            const qsizetype length = std::min<qsizetype>(to - at, 1 + qsizetype(rng() % 5));
            const quint32 set = 1 + quint32(styled.size() % 2) + quint32(rng() % 2) * 2;
            styled.push_back({ length, set });
            std::fill(model.begin() + at, model.begin() + at + length, set);
            at += length;
        }
        runs.replace(from, to, styled.data(), styled.size());
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (qsizetype from = 0; from < kUnits; from += kStretch)
            restyle(from, std::min(kUnits, from + kStretch));
        ASSERT_TRUE(runs.isConsistent()) << "pass " << pass;
        ASSERT_EQ(expand(runs), model) << "pass " << pass;
        EXPECT_LT(double(runs.bytes()) / double(runs.runCount()), 10.5) << "pass " << pass;
    }
}

// The nodes of runs taken out are used again for the next ones, a text restyled whole after
// being emptied takes no more room than before, and a long text cut down to a few runs gives back
// the room the others took, its runs and links intact.
TEST(AttributeRuns, RoomOfRemovedRunsIsReusedAndGivenBack)
{
    constexpr qsizetype kRuns = 1000000;
    std::vector<UnitRun> styled;
    for (qsizetype i = 0; i < kRuns; ++i)
        styled.push_back({ 1 + i % 3, quint32(i % 2) });
    qsizetype length = 0;
    for (const UnitRun& run : styled)
        length += run.length;

    AttributeRuns runs;
    runs.assign(length, 0);
    runs.replace(0, length, styled.data(), styled.size());
    const size_t full = runs.bytes();
    ASSERT_EQ(runs.runCount(), kRuns);

    const std::vector<quint32> whole = expand(runs);
    for (int pass = 0; pass < 3; ++pass) {
        // Half the runs made one, their nodes set aside, before the text is restyled whole.
        runs.replace(0, length / 2, UnitRun { length / 2, 9 });
        runs.assign(length, 0);
        runs.replace(0, length, styled.data(), styled.size());
        ASSERT_TRUE(runs.isConsistent()) << "pass " << pass;
        ASSERT_EQ(expand(runs), whole) << "pass " << pass;
        EXPECT_LE(runs.bytes(), full) << "pass " << pass;
    }

    std::vector<quint32> model = whole;
    std::mt19937 rng(11);
    while (runs.length() > length / 50) {
        const qsizetype from = qsizetype(rng() % quint64(runs.length()));
        const qsizetype to = std::min(runs.length(), from + 1 + length / 40);
        runs.replace(from, to, nullptr, 0);
        model.erase(model.begin() + from, model.begin() + to);
    }
    ASSERT_TRUE(runs.isConsistent());
    EXPECT_EQ(expand(runs), model);
    EXPECT_LT(runs.bytes(), full / 10);

    const AttributeRuns copy = runs;
    runs.replace(0, 0, UnitRun { 5, 7 });
    model.insert(model.begin(), 5, 7);
    ASSERT_TRUE(runs.isConsistent());
    EXPECT_EQ(expand(runs), model);
    EXPECT_TRUE(copy.isConsistent());
}
