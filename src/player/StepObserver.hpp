#pragma once

// Told of what happens to the steps of a playing demo (an offline render's sound track follows
// them).
class StepObserver
{
public:
    virtual ~StepObserver() = default;
    // The end of every fixed step.
    virtual void stepEnded() = 0;
    // The player went back to step 0.
    virtual void rewound() = 0;
};
