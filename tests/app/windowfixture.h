// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real main window over a temporary tree of real files. The tree is presented as volumes
// through the platform's volume hook (the tree's root, a removable stick and another volume),
// the process's current directory is set to a folder of the tree before the window is built
// (it lists that folder once it shows), and every service that would reach outside the process
// answers through its hook: message boxes and process starts are recorded, the Kana lock, the
// desktop's associations and the save dialog give what the test sets. The tests find the
// controls by their object names, as anyone driving the window would.

#include "app/folderlistmodel.h"
#include "app/folderloader.h"
#include "app/mainwindow.h"
#include "app/rowfiltermodel.h"
#include "app/savedialog.h"
#include "dirchooser/folderchooser.h"
#include "dirchooser/foldertree.h"
#include "platform/platform.h"
#include "support/pdfbuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utime.h>
#include <vector>

#ifndef PAGEWICK_TEST_DATA
#error PAGEWICK_TEST_DATA must name the folder of the test files
#endif

// The local time the fixture gives every file it makes, and how the list shows it.
inline time_t FixedLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}
inline const time_t kFileTime = FixedLocalTime(2004, 7, 15, 9, 3, 27);
inline const std::string kFileTimeCell = "04/07/15 09:03:27";

class WindowFixture : public ::testing::Test {
protected:
    struct Started {
        QStringList argv;
        QString workingFolder;
    };

    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        ASSERT_TRUE(config.isValid());
        // What the window keeps between runs goes to a folder of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        root = QDir(temp.path()).canonicalPath();
        previousFolder = QDir::currentPath();
        for (const char* folder : {"work", "usb", "other"})
            ASSERT_TRUE(QDir().mkpath(root + "/" + folder));
        volumes = {Volume("/", platform::VolumeKind::Fixed),
                   Volume(root, platform::VolumeKind::Fixed),
                   Volume(root + "/usb", platform::VolumeKind::Removable),
                   Volume(root + "/other", platform::VolumeKind::Removable)};
    }

    void TearDown() override {
        // A worker still waiting on hung storage wakes to a listing nobody wants, and ends.
        for (const auto& hang : hangs)
            hang->Release();
        hangHook.reset();
        form.reset();
        QDir::setCurrent(previousFolder);
    }

    // Storage that hangs, as a dead share's or a pulled stick's does: a search step waits
    // until Release, or 30 s. The hook holds it, so a worker that still waits after the test
    // wakes to nothing freed.
    class Hang {
    public:
        std::atomic<int> entered{0}; // steps that waited or wait

        void Wait() {
            ++entered;
            std::unique_lock lock(mutex_);
            released_.wait_for(lock, std::chrono::seconds(30), [&] { return open_; });
        }
        void Release() {
            {
                const std::lock_guard lock(mutex_);
                open_ = true;
            }
            released_.notify_all();
        }

    private:
        std::mutex mutex_;
        std::condition_variable released_;
        bool open_ = false;
    };

    // The folders whose paths end in tail hang from now on, after the first passing steps.
    std::shared_ptr<Hang> HangIn(const std::string& tail, int passing = 0) {
        auto hang = std::make_shared<Hang>();
        hangs.push_back(hang);
        hangHook.reset();
        auto steps = std::make_shared<std::atomic<int>>(0);
        hangHook.emplace(platform::SetSearchStepHook,
                         [hang, tail, passing, steps](const std::string& folder) {
                             if (folder.ends_with(tail) && ++*steps > passing)
                                 hang->Wait();
                         });
        return hang;
    }

    static platform::Volume Volume(const QString& mountPoint, platform::VolumeKind kind) {
        platform::Volume v;
        v.mountPoint = mountPoint;
        v.kind = kind;
        v.totalSize = 1u << 30;
        return v;
    }

    void RemoveVolume(const QString& mountPoint) {
        std::erase_if(volumes,
                      [&](const platform::Volume& v) { return v.mountPoint == mountPoint; });
    }

    // The full path of a name in the tree.
    QString At(const QString& relative) const { return root + "/" + relative; }

    void Dir(const QString& relative) { ASSERT_TRUE(QDir().mkpath(At(relative))); }

    void File(const QString& relative, const QByteArray& bytes, time_t mtime = kFileTime) {
        QFile f(At(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        Touch(relative, mtime);
    }

    // A file of size bytes that costs no disk space.
    void SizedFile(const QString& relative, qint64 size) {
        QFile f(At(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
        f.close();
        Touch(relative, kFileTime);
    }

    // A copy of a file of tests/data.
    void Fixture(const QString& relative, const QString& data, time_t mtime = kFileTime) {
        QFile source(QStringLiteral(PAGEWICK_TEST_DATA "/") + data);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << data.toStdString();
        File(relative, source.readAll(), mtime);
    }

    void Png(const QString& relative) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(At(relative), "PNG"));
        Touch(relative, kFileTime);
    }

    void Touch(const QString& relative, time_t mtime) {
        const utimbuf times{mtime, mtime};
        ASSERT_EQ(::utime(QFile::encodeName(At(relative)).constData(), &times), 0);
    }

    // A PDF of the given pages whose information dictionary holds entries, padded with a
    // comment to exactly size bytes when size is given.
    static QByteArray BuiltPdf(const std::string& header, int pages, const std::string& info,
                               std::optional<size_t> size = std::nullopt,
                               const std::string& trailerExtra = {},
                               const std::string& encrypt = {}) {
        auto build = [&](size_t padding) {
            PdfBuilder pdf(header);
            if (padding > 0)
                pdf.Raw("%" + std::string(padding - 2, 'x') + "\n");
            pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
                .Object(2, "<< /Type /Pages /Kids [] /Count " + std::to_string(pages) + " >>")
                .Object(3, "<< " + info + " >>");
            std::string trailer = "/Size 5 /Root 1 0 R /Info 3 0 R " + trailerExtra;
            if (!encrypt.empty()) {
                pdf.Object(4, encrypt);
                trailer += " /Encrypt 4 0 R";
            }
            pdf.FullSection(trailer);
            return pdf.Bytes();
        };
        std::string bytes = build(0);
        if (size) {
            EXPECT_GT(*size, bytes.size() + 2);
            // The offsets grow by a digit now and then as the padding grows; a few rounds
            // settle it.
            size_t padding = *size - bytes.size();
            for (int round = 0; round < 4 && bytes.size() != *size; ++round) {
                bytes = build(padding);
                padding += *size - bytes.size();
            }
            EXPECT_EQ(bytes.size(), *size);
        }
        return QByteArray::fromStdString(bytes);
    }

    // A 128-bit RC4 document whose user password is "user": the empty password does not open
    // it. The keys are those of tests/data/crypt/user128.pdf.
    static QByteArray LockedPdf(const std::string& header, int pages, size_t size) {
        return BuiltPdf(
            header, pages, "/Title (secret) /Author (secret)", size,
            "/ID [<31415926535897932384626433832795> <31415926535897932384626433832795>]",
            "<< /Filter /Standard /V 2 /R 3 /Length 128 /P -4 "
            "/O <0ba3835f88f90388e74e54584125ce142be0de24c6b0d37746e075b891756671> "
            "/U <763f954d16622015ee88b60b3eb8f7590122456a91bae5134273a6db134c87c4> >>");
    }

    // Builds the window with the process's current directory at folder of the tree.
    void Open(const QString& folder = QStringLiteral("work"), bool show = true) {
        ASSERT_TRUE(QDir::setCurrent(At(folder)));
        form = std::make_unique<MainWindow>();
        ASSERT_NO_FATAL_FAILURE(Bind());
        if (show) {
            form->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
            WaitUntilIdle();
        }
    }

    // Finds the controls of form, and counts its listings.
    void Bind() {
        auto find = [&](auto*& control, const char* name) {
            using Control = std::remove_reference_t<decltype(*control)>;
            control = form->findChild<Control*>(QLatin1String(name));
            ASSERT_NE(control, nullptr) << name;
        };
        ASSERT_NO_FATAL_FAILURE(find(list, "fileList"));
        ASSERT_NO_FATAL_FAILURE(find(chooser, "folderChooser"));
        ASSERT_NO_FATAL_FAILURE(find(typeFilter, "typeFilter"));
        ASSERT_NO_FATAL_FAILURE(find(passwordField, "passwordField"));
        ASSERT_NO_FATAL_FAILURE(find(lenientCheck, "lenientCheck"));
        ASSERT_NO_FATAL_FAILURE(find(passwordLabel, "passwordLabel"));
        ASSERT_NO_FATAL_FAILURE(find(nameField, "nameField"));
        ASSERT_NO_FATAL_FAILURE(find(scanProgress, "scanProgress"));
        ASSERT_NO_FATAL_FAILURE(find(openButton, "openButton"));
        ASSERT_NO_FATAL_FAILURE(find(saveListButton, "saveListButton"));
        ASSERT_NO_FATAL_FAILURE(find(upButton, "upButton"));
        ASSERT_NO_FATAL_FAILURE(find(refreshButton, "refreshButton"));
        ASSERT_NO_FATAL_FAILURE(find(helpButton, "helpButton"));
        ASSERT_NO_FATAL_FAILURE(find(exitButton, "exitButton"));
        view = list->model();
        auto* shown = qobject_cast<RowFilterModel*>(view);
        ASSERT_NE(shown, nullptr);
        model = shown->rows();
        loader = model->loader();
        scansRun = 0;
        listingsAsked = 0;
        QObject::connect(loader, &FolderLoader::started, form.get(), [this](bool quiet) {
            ++scansRun;
            listingsAsked += quiet ? 0 : 1;
        });
    }

    // True once the window has listed a folder and while no listing runs.
    bool Idle() const { return listingsAsked > 0 && loader->state() == FolderLoader::State::Idle; }

    // Waits for the listing under way, and the window's first one.
    void WaitUntilIdle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 20000));
    }

    void ChooseFilter(int index) {
        typeFilter->setCurrentIndex(index);
        emit typeFilter->activated(index);
        if (form->isVisible())
            WaitUntilIdle();
    }

    // A click on a button, and the listing it started.
    void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        WaitUntilIdle();
    }

    // The chooser opens path, and the window lists it.
    void OpenPath(const QString& path) {
        chooser->openPath(path);
        WaitUntilIdle();
    }

    // The rows the window lists, in its order.
    const std::vector<ListRow>& Rows() const { return model->rows(); }

    // The rows' captions in the list's order, read from the view's model.
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < RowCount(); ++i)
            out.push_back(Text(i));
        return out;
    }

    // The rows the list shows (those the search finds).
    int RowCount() const { return view->rowCount(); }

    // What the list shows in a cell.
    std::string Text(int row, int column = 0) const {
        return view->index(row, column).data().toString().toStdString();
    }

    // The caption of the highlighted row, or "" when none is.
    std::string Highlighted() const {
        const QModelIndex current = list->currentIndex();
        return current.isValid() ? Text(current.row()) : std::string();
    }

    bool HighlightedIsSelected() const {
        const QModelIndex current = list->currentIndex();
        return current.isValid() && list->selectionModel()->isSelected(current.siblingAtColumn(0));
    }

    const ListRow* Row(const std::string& caption) const {
        for (const ListRow& row : Rows())
            if (row.caption == caption)
                return &row;
        return nullptr;
    }

    QModelIndex Item(const std::string& caption) const {
        const QModelIndexList found =
            view->match(view->index(0, 0), Qt::DisplayRole, QString::fromStdString(caption), 1,
                        Qt::MatchExactly);
        return found.isEmpty() ? QModelIndex() : found.first();
    }

    // The list's current folder without its trailing "/".
    QString Listed() const {
        QString path = form->currentFolder();
        if (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        return path;
    }

    void ClickHeader(int column) {
        QHeaderView* header = list->header();
        list->horizontalScrollBar()->setValue(header->sectionPosition(column));
        QApplication::processEvents();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    void Select(const std::string& caption) {
        const QModelIndex item = Item(caption);
        ASSERT_TRUE(item.isValid()) << caption;
        list->scrollTo(item);
        const QRect rect = list->visualRect(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, rect.center().y()));
    }

    void DoubleClick(const std::string& caption) {
        const QModelIndex item = Item(caption);
        ASSERT_TRUE(item.isValid()) << caption;
        list->scrollTo(item);
        const QPoint at(10, list->visualRect(item).center().y());
        // The list acts on a double click only on the row its press went to, as a real
        // double click delivers them: press, release, double click, release.
        QWidget* viewport = list->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        WaitUntilIdle();
    }

    // Types text into widget key by key; a character beyond ASCII comes as a key that carries
    // it, as an input method's commit does.
    static void TypeInto(QWidget* widget, const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(widget, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }

    void PressEnter() {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        WaitUntilIdle();
    }

    std::vector<platform::MessageBoxRequest> BoxesWithIcon(QMessageBox::Icon icon) const {
        std::vector<platform::MessageBoxRequest> out;
        for (const auto& box : boxes)
            if (box.icon == icon)
                out.push_back(box);
        return out;
    }

    QTemporaryDir temp;
    QTemporaryDir config; // the desktop's configuration place, for this test alone
    QString root;
    QString previousFolder;
    std::vector<platform::Volume> volumes;
    std::vector<platform::MessageBoxRequest> boxes;
    std::vector<Started> started;
    int startError = 0; // what the fake start answers
    bool kana = false;
    // Association by full path; a path not in it has none.
    std::map<QString, platform::AssociatedProgram> associations;
    std::vector<QString> proposedNames;
    std::optional<SaveChoice> saveChoice;

    platform::ScopedHook<platform::VolumeSource> volumeHook{platform::SetVolumeSource,
                                                            [this] { return volumes; }};
    // The user's own folders: none unless a test gives some.
    std::vector<platform::Place> places;
    platform::ScopedHook<platform::PlaceSource> placeHook{platform::SetPlaceSource,
                                                          [this] { return places; }};
    platform::ScopedHook<platform::MessageBoxHandler> boxHook{
        platform::SetMessageBoxHandler, [this](const platform::MessageBoxRequest& request) {
            boxes.push_back(request);
            return QMessageBox::Ok;
        }};
    platform::ScopedHook<platform::KeyStateSource> kanaHook{platform::SetKanaLockSource,
                                                            [this] { return kana; }};
    platform::ScopedHook<platform::AssociationLookup> associationHook{
        platform::SetAssociationLookup,
        [this](const QString& file) -> std::optional<platform::AssociatedProgram> {
            const auto found = associations.find(file);
            if (found == associations.end())
                return std::nullopt;
            return found->second;
        }};
    platform::ScopedHook<platform::ProcessStarter> starterHook{
        platform::SetProcessStarter, [this](const QStringList& argv, const QString& folder) {
            started.push_back({argv, folder});
            return startError;
        }};
    platform::ScopedHook<SaveDialogHandler> saveHook{
        SetSaveDialogHandler, [this](QWidget*, const QString&, const QString& proposed) {
            proposedNames.push_back(proposed);
            return saveChoice;
        }};
    std::vector<std::shared_ptr<Hang>> hangs;
    std::optional<platform::ScopedHook<platform::SearchStepHook>> hangHook;
    std::unique_ptr<MainWindow> form;
    // Its parts.
    QTreeView* list = nullptr;
    FolderChooser* chooser = nullptr;
    QComboBox* typeFilter = nullptr;
    QLineEdit* passwordField = nullptr;
    QCheckBox* lenientCheck = nullptr;
    QLabel* passwordLabel = nullptr;
    QLineEdit* nameField = nullptr;
    QLabel* scanProgress = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* saveListButton = nullptr;
    QToolButton* upButton = nullptr;
    QToolButton* refreshButton = nullptr;
    QToolButton* helpButton = nullptr;
    QToolButton* exitButton = nullptr;
    QAbstractItemModel* view = nullptr; // what the list shows: the rows the search finds
    FolderListModel* model = nullptr;   // all rows of the folder
    FolderLoader* loader = nullptr;
    int scansRun = 0;      // listings started, quiet ones included
    int listingsAsked = 0; // listings started that were not quiet
};

// Readable failure messages for paths.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
