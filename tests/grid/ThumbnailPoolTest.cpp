#include "grid/ThumbnailPool.h"

#include <atomic>
#include <chrono>
#include <map>

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>

#include "FakeThumbnail.h"
#include "JpegSamples.h"
#include "TempDir.h"
#include "core/Error.h"
#include "frames/CFrame.h"
#include "grid/ThumbnailPrefetch.h"

using namespace std::chrono_literals;

namespace {
/// Decodes a 3000x2000 "file" into a grey thumbnail after the gate opens;
/// names starting with "broken" fail as the decoder does.
struct TFakeDecoder {
    std::atomic<bool> open{true};
    std::atomic<int> entered{0};
    std::atomic<int> decoded{0};

    TThumbnailPool::TReader Reader() {
        return [this](const std::string& file, int32_t rotation, int32_t height, bool) {
            ++entered;
            while (!open)
                std::this_thread::sleep_for(1ms);
            ++decoded;
            if (file.rfind("broken", 0) == 0)
                throw TError(TErrorKind::NotJpeg, file, "Not a JPEG file: starts with 0x6e 0x6f");
            return FakeThumbnail(3000, 2000, rotation, height);
        };
    }
};

void WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i)
        QTest::qWait(5);
}
} // namespace

TEST(ThumbnailPoolTest, AnswersArriveOnTheWindowThreadUnlessWithdrawnOrTheAskerIsGone) {
    TFakeDecoder decoder;
    decoder.open = false;
    TThumbnailPool pool(2, decoder.Reader());
    EXPECT_EQ(pool.Threads(), 2u);
    std::map<std::string, TDecodedThumbnail> answers;
    auto* gone = new QObject;
    QObject here;
    const auto ask = [&](QObject* context, const std::string& file) {
        return pool.Request(context, file, 0, 100, true, [&answers, file](TDecodedThumbnail d) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            answers[file] = std::move(d);
        });
    };
    ask(&here, "a");
    ask(&here, "broken");
    ask(gone, "b");
    const uint64_t later = ask(&here, "c");
    ask(&here, "d");
    // two are decoding; "c" is still queued and can be taken back
    WaitUntil([&] { return decoder.entered == 2; });
    EXPECT_TRUE(pool.Withdraw(later));
    EXPECT_FALSE(pool.Withdraw(later));
    delete gone;
    decoder.open = true;
    WaitUntil([&] { return pool.Pending() == 0; });
    EXPECT_EQ(pool.Pending(), 0u);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers["a"].Thumbnail->thumbWidth, 150);
    EXPECT_FALSE(answers["broken"].Thumbnail);
    // the decoder's fault comes back whole: its kind, the file and its words
    EXPECT_EQ(answers["broken"].Fault, (TFault{TErrorKind::NotJpeg, "broken",
                                               "Not a JPEG file: starts with 0x6e 0x6f", ""}));
    EXPECT_TRUE(answers["d"].Thumbnail.has_value());
}

TEST(ThumbnailPoolTest, PrefetchHandsOutInListOrderWithABoundedNumberWaiting) {
    TFakeDecoder decoder;
    TThumbnailPool pool(2, decoder.Reader());
    const std::vector<std::string> files = {"a", "broken", "c", "d", "e", "f", "g", "h"};
    std::size_t most = 0;
    {
        int arrivals = 0;
        TThumbnailPrefetch prefetch(pool, files, 120, 3, true, [&] { ++arrivals; });
        for (std::size_t i = 0; i < 5; ++i) {
            prefetch.Want(i);
            // nothing waits inside the prefetch: each arrival is told
            ASSERT_TRUE(QTest::qWaitFor([&] { return prefetch.Ready(i); }, 5000)) << i;
            EXPECT_GE(arrivals, static_cast<int>(i) + 1);
            const TDecodedThumbnail d = prefetch.Take(i);
            EXPECT_EQ(d.Thumbnail.has_value(), files[i] != "broken") << i;
            most = std::max(most, pool.Pending() + prefetch.Waiting());
            QTest::qWait(10); // the decodes ahead have time to finish
        }
    } // cancelled after five: what was asked for ahead is dropped
    EXPECT_LE(most, 3u);
    WaitUntil([&] { return pool.Pending() == 0; });
    EXPECT_LE(decoder.decoded, 7); // the last file was never asked for
    EXPECT_EQ(pool.Pending(), 0u);
}

TEST(ThumbnailPoolTest, AnEditorShowsItsOldPictureUntilTheNewOneArrivesAndDropsStaleOnes) {
    TFakeDecoder decoder;
    TThumbnailPool pool(2, decoder.Reader());
    QWidget window;
    window.resize(700, 700);
    auto* editor = new TCFrame(&window);
    editor->Area().SetReader(
        [read = decoder.Reader()](const std::string& file, int32_t rotation, int32_t height) {
            return read(file, rotation, height, true);
        });
    editor->resize(300, 200);
    window.show();
    ASSERT_TRUE(editor->LoadImage("photo.jpg"));
    editor->SetThumbnailSource(&pool);
    const TCropRect crop = editor->Area().GetCrop();

    // a new height: the old 200-high picture stands in, stretched, until the answer
    decoder.open = false;
    editor->resize(450, 300);
    editor->Reload();
    EXPECT_TRUE(editor->ThumbnailPending());
    EXPECT_EQ(editor->Area().Thumbnail().Height(), 200);
    EXPECT_EQ(editor->Area().ThumbHeight(), 300);
    // the height changes again before the first answer: that answer is dropped
    editor->resize(600, 400);
    editor->Reload();
    decoder.open = true;
    WaitUntil([&] { return !editor->ThumbnailPending(); });
    EXPECT_EQ(editor->Area().Thumbnail().Height(), 400);
    EXPECT_EQ(editor->Area().GetCrop(), crop);

    // out of view (a frame near the view is one) the decode is made all the same, so
    // that the picture is there when it scrolls in
    editor->hide();
    editor->resize(150, 100);
    editor->Reload();
    WaitUntil([&] { return !editor->ThumbnailPending(); });
    EXPECT_EQ(editor->Area().Thumbnail().Height(), 100);
    editor->show();

    // a frame destroyed while its answer is on the way gets nothing
    decoder.open = false;
    editor->resize(300, 200);
    editor->Reload();
    delete editor;
    decoder.open = true;
    WaitUntil([&] { return pool.Pending() == 0; });
    EXPECT_EQ(pool.Pending(), 0u);
}

TEST(ThumbnailPoolTest, TheCamerasThumbnailStandsInUntilTheDecodeAndTheDecodeIsKept) {
    TTempDir dir;
    const std::string photo = dir.file("photo.jpg");
    samples::MakePhoto(photo, 3000, 2000);
    samples::MakePhoto(dir.file("small.jpg"), 150, 100);
    samples::Run("exiftool",
                 {"-q", "-overwrite_original", "-ThumbnailImage<=" + dir.file("small.jpg"), photo});
    TFakeDecoder decoder;
    decoder.open = false;
    TThumbnailCache cache;
    TThumbnailPool pool(2, decoder.Reader());
    pool.SetCache(&cache);
    QWidget window;
    window.resize(700, 700);
    auto* editor = new TCFrame(&window);
    editor->resize(300, 200);
    editor->SetThumbnailSource(&pool);
    window.show();
    const TJpegLayout layout = ReadJpegLayout(photo);
    TCropArea area;
    area.UseBlockGrid();
    area.Open(ViewOf(layout, true, 0));
    area.SetCropVisible(true);

    // shown without a picture: the stored thumbnail comes while the decode is held
    editor->Show(photo, layout, 1, false, {}, area);
    WaitUntil([&] { return editor->Area().HasThumbnail(); });
    ASSERT_TRUE(editor->Area().HasThumbnail());
    EXPECT_TRUE(editor->ThumbnailPending());
    // the camera's small picture, not the decode's
    EXPECT_LT(editor->Area().Thumbnail().Height(), editor->Area().DecodeHeight());
    EXPECT_EQ(editor->Area().GetCrop(), area.GetCrop());
    // the decode replaces it, and is kept for the next frame to show the photo
    decoder.open = true;
    WaitUntil([&] { return !editor->ThumbnailPending(); });
    EXPECT_EQ(editor->Area().Thumbnail().Height(), editor->Area().DecodeHeight());
    EXPECT_EQ(cache.Count(), 1u);
    auto* again = new TCFrame(&window);
    again->resize(300, 200);
    again->SetThumbnailSource(&pool);
    again->show();
    again->Show(photo, layout, 1, false, {}, area);
    EXPECT_FALSE(again->ThumbnailPending());
    EXPECT_EQ(again->Area().Thumbnail().Width(), editor->Area().Thumbnail().Width());
}

TEST(ThumbnailPoolTest, WhatTheViewWaitsForComesReadyToDraw) {
    TFakeDecoder decoder;
    decoder.open = false;
    TThumbnailPool pool(1, decoder.Reader());
    QObject here;
    std::map<std::string, TDecodedThumbnail> answers;
    const auto ask = [&](const std::string& file) {
        return pool.Request(&here, file, 0, 100, true,
                            [&answers, file](TDecodedThumbnail d) { answers[file] = std::move(d); });
    };
    ask("first.jpg");
    ask("ahead.jpg");
    pool.Hurry(ask("in view.jpg"));
    decoder.open = true;
    WaitUntil([&] { return answers.size() == 3; });
    ASSERT_EQ(answers.size(), 3u);
    const TDecodedThumbnail& shown = answers["in view.jpg"];
    ASSERT_TRUE(shown.Thumbnail);
    EXPECT_EQ(shown.Image, DrawableImage(shown.Thumbnail->bitmap));
    EXPECT_TRUE(answers["ahead.jpg"].Image.isNull());
}
