#pragma once

#include <QTest>

#include "ui/MainForm.h"

/// Waits for the end of the window's crop run: its jobs report between the
/// window's events, after the command that started it has returned.
inline void WaitForCropRun(TMainForm& window) {
    for (int i = 0; i < 3000 && window.Processing(); ++i)
        QTest::qWait(10);
}
