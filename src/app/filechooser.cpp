#include "app/filechooser.h"

#include <QDir>
#include <QFileDialog>

QStringList DialogFileChooser::nameFilters()
{
    return {QStringLiteral("Изображения (*.png *.jpg *.jpeg *.gif *.bmp *.webp *.tif *.tiff)"),
            QStringLiteral("PNG (*.png)"), QStringLiteral("JPEG (*.jpg *.jpeg)")};
}

void openFileDialog(QFileDialog *dialog, const QString &acceptLabel, std::function<void(const QString &path)> done)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLabelText(QFileDialog::Accept, acceptLabel);
    dialog->setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    dialog->setWindowModality(Qt::ApplicationModal);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [done, answered](const QString &file) {
        if (*answered)
            return;
        *answered = true;
        done(file);
    });
    QObject::connect(dialog, &QFileDialog::finished, dialog, [done, answered](int) {
        if (*answered)
            return;
        *answered = true;
        done(QString());
    });
    dialog->open();
}

void DialogFileChooser::chooseImage(std::function<void(const QString &path)> done)
{
    auto *dialog = new QFileDialog(m_parent, QStringLiteral("Выбрать фото"), QDir::homePath());
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(nameFilters());
    openFileDialog(dialog, QStringLiteral("Выбрать"), std::move(done));
}
