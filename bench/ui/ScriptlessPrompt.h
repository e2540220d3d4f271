#pragma once

#include "core/UserPrompt.h"

/// Answers every question with Yes and swallows messages, for unattended runs.
class TSilentPrompt : public IUserPrompt {
public:
    void ShowMessage(const std::string&) override {}
    TAnswer Ask(const std::string&) override { return TAnswer::Yes; }
};
