#pragma once
// The photo picker of the desktop: one image file, files only, button "Выбрать".

#include "store/store.h"

#include <QPointer>

#include <QWidget>

class QFileDialog;

// Opens Qt's own dialog (so the button texts are ours on every desktop) as application-modal,
// with "Отмена" on its reject button, and hands `done` exactly one answer: the chosen file, or ""
// for a cancelled or closed dialog. The dialog deletes itself.
void openFileDialog(QFileDialog *dialog, const QString &acceptLabel, std::function<void(const QString &path)> done);

class DialogFileChooser final : public FileChooser
{
public:
    explicit DialogFileChooser(QWidget *parent = nullptr) : m_parent(parent) {}
    void chooseImage(std::function<void(const QString &path)> done) override;

    // "Изображения (*.png *.jpg *.jpeg ...)" followed by the PNG and JPEG filters.
    static QStringList nameFilters();

private:
    QPointer<QWidget> m_parent;
};
