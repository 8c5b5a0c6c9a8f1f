#include "gui/qt/select_com_port_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "host/startup.h"
#include "gui/qt/status_dlg.h"
#include "serial/serial_devices.h"

namespace zul::gui {

QString ComPortEntryText(int number, const std::string& device) {
    const QString name = QString("COM%1").arg(number);
    const QString path = QString::fromStdString(device);
    // Windows spells the device "\\.\COMn": the name says it all.
    if (path.isEmpty() || path.compare(name, Qt::CaseInsensitive) == 0 ||
        path.compare("\\\\.\\" + name, Qt::CaseInsensitive) == 0)
        return name;
    return name + " (" + path + ")";
}

SelectComPortDialog::SelectComPortDialog(SettingsStore store, QWidget* owner)
    : QDialog(owner), store_(std::move(store)), choice_(store_), list_(new QComboBox(this)), test_(nullptr) {
    setObjectName("SelectComPortDialog");
    setWindowTitle("Select COM Port");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    list_->setObjectName("portList");
    list_->setEditable(false);
    list_->setMaxVisibleItems(SelectComPortChoice::kPortCount);
    for (int n = 1; n <= SelectComPortChoice::kPortCount; ++n) list_->addItem(ComPortEntryText(n, PortDeviceName(n)));
    list_->setCurrentIndex(choice_.selectedEntry());
    list_->setMinimumContentsLength(12);
    list_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* group = new QGroupBox(this);
    group->setObjectName("group");
    auto* label = new QLabel("Select Port:", group);
    label->setBuddy(list_);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(label);
    groupLayout->addWidget(list_);
    groupLayout->addStretch();

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel");
    test_ = new QPushButton("&Test COM Port", this);
    test_->setObjectName("test");
    test_->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(test_, &QPushButton::clicked, this, &SelectComPortDialog::OnTest);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addSpacing(12);
    buttons->addWidget(test_);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    setTabOrder(list_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, test_);
    list_->setFocus();
    setFixedSize(sizeHint());
}

void SelectComPortDialog::accept() {
    choice_.select(list_->currentIndex());
    choice_.Confirm(store_);
    QDialog::accept();
}

void SelectComPortDialog::OnTest() {
    SelectComPortChoice tested = choice_;
    tested.select(list_->currentIndex());
    StatusDlgWindow status(this);
    tested.Test(&status);
}

void OpenSelectComPortDialog(QWidget* owner) {
    SelectComPortDialog dialog(SettingsStore(SettingsFilePath()), owner);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

}  // namespace zul::gui
