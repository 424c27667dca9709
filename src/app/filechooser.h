#pragma once
// The photo picker of the desktop: one image file, files only, button "Выбрать".

#include "store/store.h"

#include <QPointer>

#include <QWidget>

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
