// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real folders in a temporary directory, presented to the chooser as three volumes through the
// platform's volume hook; message boxes and beeps are recorded instead of shown.

#include "dirchooser/folderchooser.h"
#include "dirchooser/foldertree.h"
#include "platform/dialogs.h"
#include "platform/hooks.h"
#include "platform/places.h"
#include "platform/volumes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

class ChooserFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        base = temp.path();
        for (const char* folder :
             {"Fixed/beta", "Fixed/Alpha/inner/deep", "Fixed/Gamma", "Fixed/.hidden",
              "Fixed/Data/Sub", "Fixed/fileonly", "Fixed/Nest/inside", "Usb"})
            ASSERT_TRUE(QDir().mkpath(base + "/" + folder));
        for (const char* file : {"Fixed/zfile.txt", "Fixed/fileonly/a.txt"}) {
            QFile f(base + "/" + file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        fixed = base + "/Fixed";
        nest = base + "/Fixed/Nest";
        usb = base + "/Usb";
        volumes = {Volume(fixed, "FIXED", platform::VolumeKind::Fixed, true),
                   Volume(nest, "", platform::VolumeKind::Fixed, true),
                   Volume(usb, "", platform::VolumeKind::Removable, false)};

        window = std::make_unique<QWidget>();
        window->setGeometry(0, 0, 480, 320);
        chooser = new FolderChooser(window.get());
        chooser->setGeometry(72, 8, 337, 20);
        QObject::connect(chooser, &FolderChooser::pathChanged, chooser,
                         [this](const QString& path) { fired.push_back(path); });
        window->show();
    }

    static platform::Volume Volume(const QString& mountPoint, const QString& label,
                                   platform::VolumeKind kind, bool ready) {
        platform::Volume v;
        v.mountPoint = mountPoint;
        v.label = label;
        v.kind = kind;
        if (ready)
            v.totalSize = 1u << 20;
        return v;
    }

    FolderTree* tree() const { return chooser->tree(); }
    QToolButton* button() const { return chooser->findChild<QToolButton*>("dropDownButton"); }
    QTreeWidgetItem* root() const { return tree()->rootNode(); }

    // The child of node whose caption is caption (nullptr when there is none).
    static QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& caption) {
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == caption)
                return node->child(i);
        }
        return nullptr;
    }
    static QStringList Captions(QTreeWidgetItem* node) {
        QStringList captions;
        for (int i = 0; node && i < node->childCount(); ++i)
            captions << node->child(i)->text(0);
        return captions;
    }
    QTreeWidgetItem* VolumeNode(const QString& mountPoint) const {
        for (int i = 0; i < root()->childCount(); ++i) {
            if (FolderTree::mountPointOf(root()->child(i)) == mountPoint)
                return root()->child(i);
        }
        return nullptr;
    }
    QString PathOf(QTreeWidgetItem* node) const { return tree()->pathOf(node); }

    // Mouse events straight to the tree's viewport, as the popup routes them there.
    void MouseTo(QEvent::Type type, const QPoint& pos) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QWidget* viewport = tree()->viewport();
        QMouseEvent event(type, QPointF(pos), QPointF(viewport->mapToGlobal(pos)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    void ClickAt(const QPoint& pos) {
        MouseTo(QEvent::MouseButtonPress, pos);
        MouseTo(QEvent::MouseButtonRelease, pos);
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(tree()->isOpen() ? static_cast<QWidget*>(tree()) : chooser, &press);
    }

    QTemporaryDir temp;
    QString base, fixed, nest, usb;
    std::vector<platform::Volume> volumes;
    std::vector<platform::MessageBoxRequest> boxes;
    int beeps = 0;
    // The user's own folders: none unless a test gives some before the chooser is made.
    std::vector<platform::Place> places;
    platform::ScopedHook<platform::PlaceSource> placeHook{platform::SetPlaceSource,
                                                          [this] { return places; }};
    platform::ScopedHook<platform::VolumeSource> volumeHook{platform::SetVolumeSource,
                                                            [this] { return volumes; }};
    platform::ScopedHook<platform::MessageBoxHandler> boxHook{
        platform::SetMessageBoxHandler, [this](const platform::MessageBoxRequest& request) {
            boxes.push_back(request);
            return QMessageBox::Ok;
        }};
    platform::ScopedHook<platform::BeepHandler> beepHook{platform::SetBeepHandler,
                                                         [this] { ++beeps; }};
    std::unique_ptr<QWidget> window;
    FolderChooser* chooser = nullptr;
    QStringList fired; // the paths pathChanged reported
};
