#include "ui/OrderKeeper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDateTime>
#include <QLocale>
#include <QMenu>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "i18n/gnugettext.h"
#include "jobs/OrderSummary.h"
#include "jobs/SharedSettings.h"
#include "model/CropAspect.h"
#include "model/CropAspectList.h"
#include "model/CropAspects.h"
#include "model/Options.h"
#include "ui/FrameList.h"

namespace fs = std::filesystem;

namespace {
// long enough that a drag or a run of keys is one write, short enough to lose little
constexpr int kAutosaveDelay = 1500;
constexpr int kRecentCount = 8;
constexpr const char* kRecentKey = "RecentOrders";
constexpr const char* kAutosaveName = "autosave.tvorder";

std::string Text(const char* english, const std::vector<std::string>& values = {}) {
    return FillPlaceholders(TranslateOrKeep(english), values);
}
} // namespace

TOrderKeeper::TOrderKeeper(THost host, std::string stateFolder)
    : host_(std::move(host)), stateFolder_(std::move(stateFolder)) {
    autosave_.setSingleShot(true);
    autosave_.setInterval(kAutosaveDelay);
    connect(&autosave_, &QTimer::timeout, this, &TOrderKeeper::Autosave);
    if (stateFolder_.empty()) return;
    std::error_code error;
    fs::create_directories(stateFolder_, error);
    // one window keeps the autosave of a state folder; a second one started beside
    // it keeps none rather than write over the first one's
    lockFd_ = open((stateFolder_ + "/autosave.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    locked_ = lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
}

TOrderKeeper::~TOrderKeeper() {
    autosave_.stop();
    WaitForWrite();
    if (lockFd_ >= 0) close(lockFd_);
}

std::string TOrderKeeper::AutosavePath() const {
    return stateFolder_.empty() ? std::string() : stateFolder_ + "/" + kAutosaveName;
}

TOrderSettings TOrderKeeper::SettingsOfWindow() const {
    TOrderSettings settings;
    settings.Destination = host_.Destination();
    settings.Options = CropOptionsFrom(*host_.Settings);
    settings.SizeFolders = Get(*host_.Settings, Options::SizeSubfolders);
    const TCropAspectList& list = GetCropAspects().CurrentList();
    for (int i = 0; i < list.Count(); ++i) {
        const TCropAspect& a = list.Items(i);
        settings.Aspects.push_back({a.Description(), a.Horizontal(), a.Vertical(), a.Unit()});
    }
    return settings;
}

void TOrderKeeper::Changed() {
    if (locked_) autosave_.start();
}

bool TOrderKeeper::Modified() const {
    const std::vector<TOrderPhoto>& photos = host_.List->Order().Photos();
    if (unsaved_) return !photos.empty();
    if (photos.size() != saved_.size()) return true;
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (!photos[i].Choice.SameEdit(saved_[i]) ||
            photos[i].Choice.DestName != saved_[i].DestName)
            return true;
    return false;
}

void TOrderKeeper::WaitForWrite() {
    if (writing_.valid()) writing_.wait();
}

void TOrderKeeper::Autosave() {
    // the copy an unclean end left is not written over before it was offered
    if (!locked_ || !offered_) return;
    // a write still going: this one follows it
    if (writing_.valid() &&
        writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        autosave_.start();
        return;
    }
    const std::string path = AutosavePath();
    if (host_.List->Order().Empty()) {
        // nothing to lose: no copy to offer either
        std::error_code error;
        fs::remove(path, error);
        return;
    }
    // the window's part is the copy; the text and the disk are the worker's
    auto photos = std::make_shared<std::vector<TOrderPhoto>>(host_.List->Order().Photos());
    auto settings = std::make_shared<TOrderSettings>(SettingsOfWindow());
    writing_ = std::async(std::launch::async, [path, photos, settings] {
        try {
            WriteFileAtomically(path, OrderFileText(path, *settings, *photos));
        } catch (const TError&) {
            // a full disk costs the copy, never the window: the next change tries again
        }
    });
}

void TOrderKeeper::AutosaveNow() {
    autosave_.stop();
    WaitForWrite();
    Autosave();
    WaitForWrite();
}

void TOrderKeeper::SetFile(const std::string& path, bool modified) {
    file_ = path;
    unsaved_ = modified;
    saved_.clear();
    for (const TOrderPhoto& photo : host_.List->Order().Photos())
        saved_.push_back(photo.Choice);
    emit StateChanged();
}

bool TOrderKeeper::Save() {
    if (file_.empty()) return SaveAs();
    try {
        SaveOrderFile(file_, SettingsOfWindow(), host_.List->Order().Photos());
    } catch (const TError& e) {
        host_.Prompt->ShowError(e.what());
        return false;
    }
    Remember(file_);
    SetFile(file_, false);
    host_.Status(QString::fromStdString(Text(N_("Print order saved as %1"), {file_})));
    return true;
}

bool TOrderKeeper::SaveAs() {
    // a first order is offered beside the photos, so that it moves with their folder
    std::string start = file_;
    if (start.empty() && !host_.List->Order().Empty())
        start =
            (fs::path(host_.List->Order().At(0).File()).parent_path() / "order.tvorder").string();
    std::string path = host_.ChooseFile(true, start);
    if (path.empty()) return false;
    if (fs::path(path).extension().empty()) path += ".tvorder";
    const std::string before = file_;
    file_ = path;
    if (Save()) return true;
    file_ = before;
    return false;
}

void TOrderKeeper::Open() {
    const std::string path = host_.ChooseFile(false, file_);
    if (!path.empty()) OpenFile(path);
}

bool TOrderKeeper::OpenFile(const std::string& path) {
    TOpenedOrder order;
    try {
        order = OpenOrderFile(path);
    } catch (const TError& e) {
        host_.Prompt->ShowError(e.what());
        return false;
    }
    // the photos now in the list may be worth keeping first
    if (!MayClose()) return false;
    if (!Load(order)) return false;
    Remember(path);
    SetFile(path, false);
    return true;
}

bool TOrderKeeper::Load(const TOpenedOrder& order) {
    TFrameList& list = *host_.List;
    // an aspect the list no longer has comes back as it was, at the list's end
    TCropAspectList& aspects = GetCropAspects().CurrentList();
    const auto known = [&aspects](const std::string& description) {
        for (int i = 0; i < aspects.Count(); ++i)
            if (aspects.Items(i).Description() == description) return true;
        return false;
    };
    for (const TOrderPhoto& photo : order.Photos) {
        const std::string& wanted = photo.Choice.Aspect;
        if (wanted.empty() || known(wanted)) continue;
        auto aspect = std::make_unique<TCropAspect>();
        aspect->SetDescription(wanted);
        aspect->SetUnit("free");
        for (const TOrderAspect& kept : order.Settings.Aspects)
            if (kept.Description == wanted) {
                aspect->SetHorizontal(kept.Horizontal);
                aspect->SetVertical(kept.Vertical);
                aspect->SetUnit(kept.Unit);
            }
        aspects.Add(std::move(aspect));
    }

    list.RemoveAll();
    std::vector<TOrderDropped> dropped = order.Dropped;
    for (const TOrderPhoto& photo : order.Photos) {
        if (!list.PlaceSaved(photo.Choice))
            dropped.push_back({photo.File(), Text(N_("cannot be read as a photo"))});
    }
    list.Checkpoint();
    if (!list.Empty()) list.SetCurrentIndex(0);
    if (!order.Settings.Destination.empty()) host_.SetDestination(order.Settings.Destination);
    if (!dropped.empty()) {
        std::string text =
            TranslatePlural("This photo of the order was left out:",
                            "These photos of the order were left out:", dropped.size());
        for (const TOrderDropped& d : dropped)
            text += "\n" + d.File + ": " + d.Reason;
        host_.Prompt->ShowMessage(text);
    }
    return true;
}

bool TOrderKeeper::ExportSummary(const std::string& path, int lowPpi) {
    const TOrderSummary summary = SummariseOrder(host_.List->Order().Photos(), lowPpi);
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    try {
        WriteFileAtomically(path, extension == ".csv" ? OrderSummaryCsv(summary)
                                                      : OrderSummaryText(summary) + "\n");
    } catch (const TError& e) {
        host_.Prompt->ShowError(
            Text(N_("The order summary cannot be written to %1: %2"), {path, e.what()}));
        return false;
    }
    host_.Status(QString::fromStdString(Text(N_("Order summary written to %1"), {path})));
    return true;
}

std::vector<std::string> TOrderKeeper::Recent() const {
    std::vector<std::string> recent;
    if (const TStorageTank* kept = host_.Settings->getTank(kRecentKey))
        for (int i = 0; i < kRecentCount; ++i) {
            const std::string path = kept->getString("Order" + std::to_string(i + 1));
            if (!path.empty()) recent.push_back(path);
        }
    return recent;
}

void TOrderKeeper::Remember(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    const std::string full = error ? path : absolute.lexically_normal().string();
    std::vector<std::string> recent = Recent();
    std::erase(recent, full);
    recent.insert(recent.begin(), full);
    if (recent.size() > static_cast<std::size_t>(kRecentCount)) recent.resize(kRecentCount);
    host_.Settings->remove(kRecentKey);
    auto kept = std::make_unique<TStorageTank>(kRecentKey);
    for (std::size_t i = 0; i < recent.size(); ++i)
        kept->setValue("Order" + std::to_string(i + 1), recent[i]);
    host_.Settings->add(std::move(kept));
}

void TOrderKeeper::FillRecentMenu(QMenu& menu) {
    menu.clear();
    const std::vector<std::string> recent = Recent();
    for (std::size_t i = 0; i < recent.size(); ++i) {
        // a number as the access key, as editors show their recent files
        QAction* a = menu.addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QString::fromStdString(recent[i]).replace('&', QStringLiteral("&&"))));
        const std::string path = recent[i];
        connect(a, &QAction::triggered, this, [this, path] { OpenFile(path); });
    }
    menu.setEnabled(!recent.empty());
}

void TOrderKeeper::OfferRestore() {
    // from now on the autosave is this window's, with what changed meanwhile
    struct TAfter {
        TOrderKeeper& keeper;
        ~TAfter() {
            keeper.offered_ = true;
            keeper.Changed();
        }
    } after{*this};
    const std::string path = AutosavePath();
    std::error_code error;
    if (!locked_ || !fs::is_regular_file(path, error)) return;
    TOpenedOrder order;
    try {
        order = OpenOrderFile(path);
    } catch (const TError& e) {
        // kept aside, never thrown away: the next autosave would write over it
        host_.Prompt->ShowError(e.what());
        fs::rename(path, path + ".damaged", error);
        return;
    }
    struct stat st {};
    const QDateTime when = stat(path.c_str(), &st) == 0
                               ? QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec)
                               : QDateTime::currentDateTime();
    const std::size_t count = order.Photos.size() + order.Dropped.size();
    const std::string text = FillPlaceholders(
        TranslatePlural("Restore the print order from %1, %2 photo?",
                        "Restore the print order from %1, %2 photos?", count),
        {QLocale().toString(when, QLocale::ShortFormat).toStdString(), std::to_string(count)});
    for (;;) {
        const TAnswer answer = host_.Prompt->AskWith(text, Text(N_("&Yes")), Text(N_("&No")),
                                                     Text(N_("&Show File")), true);
        if (answer == TAnswer::Cancel) {
            host_.ShowFolder(stateFolder_);
            continue;
        }
        if (answer == TAnswer::Yes) {
            Load(order);
            // still only in the autosave: a change not saved
            SetFile("", true);
        } else {
            fs::remove(path, error);
        }
        return;
    }
}

bool TOrderKeeper::MayClose() {
    if (host_.List->Order().Empty() || !Modified()) return true;
    const TAnswer answer = host_.Prompt->AskWith(
        Text(N_("The print order has changes that are not saved.\n\nSave them first?")),
        Text(N_("&Save")), Text(N_("&Discard")), Text(N_("Cancel")));
    if (answer == TAnswer::Yes) return Save();
    return answer == TAnswer::No;
}

void TOrderKeeper::EndCleanly() {
    autosave_.stop();
    WaitForWrite();
    if (!locked_) return;
    std::error_code error;
    fs::remove(AutosavePath(), error);
}
