#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "core/ObserverPattern2.h"

class IAspectEditor;
class IUserPrompt;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QToolButton;
class QWidget;
class TAspectForm;
class TCropAspects;
class TStorageTank;

/// The settings dialog: every option of the settings store on three pages,
/// and the aspects, edited on a private copy of the registry that replaces the
/// registry's contents only on OK. Each showing reloads every control, so
/// Cancel, Escape and the close box leave everything as it was.
///
/// The main window lends the store and the registry for the dialog's life and
/// opens it with exec(); only QDialog::Accepted means something was written.
class TSForm : public QDialog, public TObserver {
public:
    /// Without a prompt the defaults warning is a message box of its own.
    TSForm(TStorageTank& settings, TCropAspects& registry, IUserPrompt* prompt = nullptr,
           QWidget* parent = nullptr);
    ~TSForm() override;

    /// Replaces the built-in aspect editor (not owned); null restores it.
    void SetAspectEditor(IAspectEditor* editor);

    /// The working copy the dialog edits while it is open.
    TCropAspects& WorkingAspects() const { return *working_; }

    /// Keeps the default list and the aspect grid in step with the working copy.
    void Update(TObject* sender, const std::string& event, const TVariant& value) override;

    /// Kilobytes a huge thumbnail of the given view height takes.
    static int HugeEstimateKB(int height);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildCroppingPage();
    QWidget* BuildFilesPage();
    QWidget* BuildMiscPage();
    void LayOutRows();
    void LoadFromSettings();
    void OkBtnClick();

    void DefaultCropBoxChange(int index);
    void AddBtnClick();
    void EditBtnClick();
    void RemoveBtnClick();
    void DownBtnClick();
    void UpBtnClick();
    void DefaultsBtnClick();
    int SelectedRow() const;
    IAspectEditor& Editor();
    void SelectRow(int row);

    void HugeSpinChange(int value);
    void TransformFilenameEditChange(const QString& text);

    TStorageTank& settings_;
    TCropAspects& registry_;
    IUserPrompt* prompt_;
    std::unique_ptr<TCropAspects> working_;
    IAspectEditor* editor_ = nullptr;
    TAspectForm* ownEditor_ = nullptr;

    // page "Cropping"
    QCheckBox* autoRotateCheck_ = nullptr;
    QComboBox* defaultCropBox_ = nullptr;
    QTableWidget* aspectGrid_ = nullptr;
    QPushButton* addBtn_ = nullptr;
    QPushButton* editBtn_ = nullptr;
    QPushButton* removeBtn_ = nullptr;
    QToolButton* downBtn_ = nullptr;
    QToolButton* upBtn_ = nullptr;
    QPushButton* defaultsBtn_ = nullptr;
    QComboBox* lookCombo_ = nullptr;
    QCheckBox* showCropsizeCheck_ = nullptr;
    QCheckBox* enterCheck_ = nullptr;
    // page "Files"
    QCheckBox* copyMetaCheck_ = nullptr;
    QCheckBox* copyDateCheck_ = nullptr;
    QCheckBox* permissionCheck_ = nullptr;
    QCheckBox* safeNamesCheck_ = nullptr;
    QCheckBox* previewImagesCheck_ = nullptr;
    QCheckBox* honourOrientationCheck_ = nullptr;
    QCheckBox* keepFacesCheck_ = nullptr;
    QCheckBox* transformFilenameCheck_ = nullptr;
    QLineEdit* transformFilenameEdit_ = nullptr;
    QLabel* sampleLabel_ = nullptr;
    QWidget* existingFileRow_ = nullptr;
    QLabel* existingFileLabel_ = nullptr;
    QWidget* existingFilePanel_ = nullptr;
    QRadioButton* warnRadio_ = nullptr;
    QRadioButton* overwriteRadio_ = nullptr;
    // page "Misc"
    QCheckBox* landscapeCheck_ = nullptr;
    QCheckBox* huffmanCheck_ = nullptr;
    QCheckBox* updatePPICheck_ = nullptr;
    QCheckBox* sizeFoldersCheck_ = nullptr;
    QWidget* lowRow_ = nullptr;
    QLabel* lowLabel_ = nullptr;
    QSpinBox* lowSpin_ = nullptr;
    QLabel* lowUnitLabel_ = nullptr;
    QWidget* hugeRow_ = nullptr;
    QLabel* hugeLabel_ = nullptr;
    QSpinBox* hugeSpin_ = nullptr;
    QLabel* hugeUnitLabel_ = nullptr;
    QLabel* hugeEstimateLabel_ = nullptr;
    QWidget* timeoutRow_ = nullptr;
    QLabel* timeoutLabel_ = nullptr;
    QSpinBox* timeoutSpin_ = nullptr;
    QLabel* timeoutUnitLabel_ = nullptr;
    QWidget* languageRow_ = nullptr;
    QLabel* languageLabel_ = nullptr;
    QComboBox* languageCombo_ = nullptr;
};
