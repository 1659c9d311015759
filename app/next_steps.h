#pragma once

#include <string>
#include <vector>

// What an operator does next about each kind of problem the audit finds and
// each reason a run leaves something as it was: one sentence each, in one
// table, so that the audit's page, its help, the documents and the run's
// résumé say the same thing.
struct NextStep {
    const char* id;    // the audit's problem kind id, or a reason's
    const char* step;  // one sentence
};

// Every row, in the table's order.
const std::vector<NextStep>& NextSteps();

// The step for an id; empty when there is none.
std::string NextStepFor(const std::string& id);
