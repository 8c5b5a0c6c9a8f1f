#pragma once
// "Set up KVR 7700 for Download": how to connect the tester and put it into
// its boot monitor, shown before the download dialog. OK goes on, Cancel
// ends the download dialog, "Setup COM Port..." opens the port dialog.
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>

namespace zul::gui {

class CSetupInstructionsDlg : public QDialog {
    Q_OBJECT
public:
    inline static const char* const kCaption = "Set up KVR 7700 for Download";

    explicit CSetupInstructionsDlg(QWidget* owner);

    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* comPortButton() const { return comPort_; }
    QLabel* picture() const { return picture_; }
    // The instruction lines as shown, top to bottom.
    QStringList instructions() const;

    // What "Setup COM Port..." opens (tests count).
    void setComPortDialog(std::function<void(QWidget*)> open) { openComPort_ = std::move(open); }

private:
    QLabel* picture_;
    QList<QLabel*> lines_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* comPort_;
    std::function<void(QWidget*)> openComPort_;
};

// The picture of the dialog: the tester, its cable and the PC's serial port.
QPixmap SetupPicture();

}  // namespace zul::gui
