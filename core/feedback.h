#pragma once
// How an operation speaks to the user: message boxes and file dialogs
// (Prompts), the status text and the progress bar (the status bar's state).
//
// The session owns one, and the link, the transfers and the file buttons are
// given it; none of them reaches for another. The window shows it with real
// dialogs and its status bar, the command line prints it, tests record it.

#include "core/indicators.h"
#include "core/prompts.h"

class Feedback {
public:
    explicit Feedback(Prompts& prompts) : prompts(prompts) {}
    Feedback(const Feedback&) = delete;
    Feedback& operator=(const Feedback&) = delete;

    Prompts& prompts;
    StatusBarModel bar;
    Tstatusbar_ctrl status{bar};
    Tprogressbar_ctrl progress{bar};
};
