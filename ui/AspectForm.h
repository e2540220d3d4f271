#pragma once

#include <memory>
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TCropAspect;
class TModPanel;

/// What the settings dialog needs from an aspect editor, so that it can be
/// driven without a modal window where that is wanted.
class IAspectEditor {
public:
    virtual ~IAspectEditor() = default;
    /// A new aspect from the user, owned by the caller, or none when the user
    /// cancelled.
    virtual std::unique_ptr<TCropAspect> AddAspect() = 0;
    /// Changes the aspect in place; false when cancelled.
    virtual bool EditAspect(TCropAspect& aspect) = 0;
};

/// The small modal dialog in which the user creates or changes one aspect:
/// its description, its kind as five radio buttons and its two sizes.
class TAspectForm : public QDialog, public IAspectEditor {
public:
    explicit TAspectForm(QWidget* parent = nullptr);

    std::unique_ptr<TCropAspect> AddAspect() override;
    bool EditAspect(TCropAspect& aspect) override;

    /// Shows and hides the size controls to suit the checked kind.
    void HandleTypeChanged();

    /// Closes with OK only when the sizes the kind uses are valid; else marks the
    /// first wrong one and says what it must be.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    bool SizesUsed() const;
    /// Marks the field (none: clears the mark) and shows the short message beside it.
    void ShowSizeError(QLineEdit* edit);
    /// Writes the controls into the aspect; false when a size is no number.
    bool ApplyTo(TCropAspect& aspect);
    /// The unit of the checked kind and unit: "cm", ..., "none", "pixels", "free", "nocrop".
    std::string CheckedUnit() const;
    /// The name the sizes give: "15x10cm", "16:9", "640x480", "5\" x 7\"".
    QString ProposedName() const;
    /// Names the aspect after its sizes while the user has typed no name.
    void FollowSizes();

    QLineEdit* descriptionEdit_ = nullptr;
    TModPanel* typePanel_ = nullptr;
    QRadioButton* fixedWithUnitsCheck_ = nullptr;
    QRadioButton* fixedSansUnitsCheck_ = nullptr;
    QRadioButton* pixelCheck_ = nullptr;
    QRadioButton* freeCheck_ = nullptr;
    QRadioButton* noCropCheck_ = nullptr;
    TModPanel* settingsPanel_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QLineEdit* horEdit_ = nullptr;
    QLineEdit* verEdit_ = nullptr;
    QComboBox* unitCombo_ = nullptr;
    QLabel* pixelLabel_ = nullptr;
    QLabel* sizeError_ = nullptr;
    bool nameFollows_ = false;
};
