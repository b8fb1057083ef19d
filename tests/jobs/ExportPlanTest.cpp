#include <gtest/gtest.h>

#include "jobs/ExportPlan.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

std::vector<PlannedOutcome> outcomesOf(const ExportPlan& plan) {
    std::vector<PlannedOutcome> outcomes;
    for (const PlannedOutput& output : plan.outputs) outcomes.push_back(output.outcome);
    return outcomes;
}

TEST(ExportPlanTest, SameNamedSourcesClashAndExistingOutputsAreSkippedOnlyWithoutOverwriting) {
    test::TempDir out;
    test::writeFile(out.file("old.jpg"), "x");
    const std::vector<std::pair<std::string, std::string>> records = {
        {"/a/camera.png", out.file("camera.jpg")}, {"/b/camera.tiff", out.file("camera.jpg")},
        {"/a/old.png", out.file("old.jpg")},       {"/b/old.png", out.file("old.jpg")},
        {"/a/new.png", out.file("new.jpg")},
    };
    using enum PlannedOutcome;
    struct Case {
        bool overwrite;
        std::vector<PlannedOutcome> outcomes;
        std::size_t clashes, existing;
    };
    for (const Case& c : {Case{false, {Write, Clash, Skip, Skip, Write}, 1, 2},
                          Case{true, {Write, Clash, Write, Clash, Write}, 2, 0}}) {
        const ExportPlan plan = planExport(records, c.overwrite);
        EXPECT_EQ(outcomesOf(plan), c.outcomes) << "overwrite " << c.overwrite;
        EXPECT_EQ(plan.clashCount, c.clashes);
        EXPECT_EQ(plan.existingCount, c.existing);
        EXPECT_TRUE(plan.hasConflicts());
    }
    EXPECT_FALSE(planExport({{"/a/new.png", out.file("new.jpg")}}, false).hasConflicts());
}

} // namespace
} // namespace pellora
