#include "app/ui/AboutBox.h"

#include "browse/StatusTexts.h"
#include "config/ProgramFolder.h"
#include "config/Settings.h"
#include "config/StringTable.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessa {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlg100"));
    setWindowTitle(text(85));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    setPalette(white);

    auto* layout = new QGridLayout(this);
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("ctl1110"));
    const QPixmap bitmap(shippedConfigFile(QStringLiteral("logo.bmp")));
    if (!bitmap.isNull()) {
        logo->setFixedSize(128, 64);
        logo->setPixmap(bitmap.scaled(128, 64));
    } else {
        logo->hide(); // no file, no logo
    }
    layout->addWidget(logo, 0, 0, 10, 1, Qt::AlignTop);

    const std::pair<int, const char*> lines[] = {{1076, "Software"}, {1077, "Company"}, {1078, "Address"},
                                                 {1079, "Tel"},      {1080, "Fax"},     {1081, "Mobile"},
                                                 {1082, "Web"},      {1083, "Email"}};
    int row = 0;
    for (const auto& [id, key] : lines) {
        auto* label = new QLabel(readStringSetting(QLatin1String(key)), this);
        label->setObjectName(QStringLiteral("ctl%1").arg(id));
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        layout->addWidget(label, row++, 1);
    }
    auto* version = new QLabel(kVersionText, this);
    version->setObjectName(QStringLiteral("ctl1084"));
    layout->addWidget(version, row++, 1);
    auto* fixed = new QLabel(QStringLiteral("Copyright \u00A9 the Tessa authors"), this);
    fixed->setObjectName(QStringLiteral("ctl1085"));
    layout->addWidget(fixed, row++, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, row, 1, Qt::AlignRight);
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        accept();
}

} // namespace tessa
