#pragma once

#include <QTest>

#include "ui/MainForm.h"

/// Waits for the end of the window's crop run: its jobs report between the
/// window's events, after the command that started it has returned.
inline void WaitForCropRun(TMainForm& window) {
    for (int i = 0; i < 3000 && window.Processing(); ++i)
        QTest::qWait(10);
}

/// Waits for the end of the window's thumbnail run: frames arrive between the
/// window's events, after the command that added the files has returned.
inline void WaitForAddRun(TMainForm& window) {
    for (int i = 0; i < 3000 && window.Adding(); ++i)
        QTest::qWait(10);
}
