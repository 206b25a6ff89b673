#include "app/progressguard.h"
#include "app/unit1.h"
#include "formtest.h"
#include "worklist/memoedit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <map>

namespace {

const QString reading = QStringLiteral("Lecture du fichier…");
const QString extracting = QStringLiteral("Extraction des adresses…");
const QString sorting = QStringLiteral("Tri de la liste…");
const QString saving = QStringLiteral("Enregistrement…");
const QString showing = QStringLiteral("Affichage du texte…");

// Watches the progress dialog from a timer, which fires whenever the running operation
// lets events through, and clicks "Annuler" once the dialog shows the step cancelAt.
class Watcher : public QObject
{
public:
    explicit Watcher(const QString &cancelAt = QString())
        : m_cancelAt(cancelAt)
    {
        connect(&m_timer, &QTimer::timeout, this, &Watcher::look);
        m_timer.start(0);
    }

    // The labels the dialog showed, in order; "(bloqué)" follows a label shown while
    // the cancel button was disabled.
    QStringList states;
    // The dialog's caption, its cancel button's text and whether it was modal.
    QString dialog;
    bool waitCursor = true;
    bool cancelled = false;

private:
    void look()
    {
        QProgressDialog *progress = nullptr;
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (auto *found = qobject_cast<QProgressDialog *>(window); found && found->isVisible())
                progress = found;
        }
        if (!progress)
            return;
        auto *button = progress->findChild<QPushButton *>();
        const QString state = progress->labelText()
                + (button->isEnabled() ? QString() : QStringLiteral(" (bloqué)"));
        if (states.isEmpty() || states.constLast() != state)
            states.append(state);
        dialog = progress->windowTitle() + QLatin1Char('|') + button->text()
                + (progress->isModal() ? QStringLiteral("|modal") : QString());
        const QCursor *cursor = QApplication::overrideCursor();
        waitCursor = waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
        if (progress->labelText() == m_cancelAt && button->isEnabled() && !cancelled) {
            cancelled = true;
            button->click();
        }
    }

    QString m_cancelAt;
    QTimer m_timer;
};

} // namespace

// Every long operation of the window shows the wait cursor and a progress dialog (at once
// here, since the tests set no delay); a cancel leaves the list, its encoding, the
// profile and the files as they were.
class tst_Progress : public FormTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelLoad_data();
    void cancelLoad();
    void cancelCommand_data();
    void cancelCommand();
    void cancelSave_data();
    void cancelSave();
    void lastStepCannotBeCancelled();
    void failedLoadRestoresCursor();
    void dropWaitsForTheLoadBefore();

private:
    // The name and contents of every file in the test folder.
    std::map<QString, QByteArray> files() const;
    void checkCancelled(const Watcher &watcher);
};

void tst_Progress::initTestCase()
{
    ProgressGuard::setShowDelay(0);
}

void tst_Progress::init()
{
    initForm();
}

void tst_Progress::cleanup()
{
    cleanupForm();
}

std::map<QString, QByteArray> tst_Progress::files() const
{
    std::map<QString, QByteArray> contents;
    const QStringList names = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names)
        contents[name] = readFile(m_dir->filePath(name));
    return contents;
}

void tst_Progress::checkCancelled(const Watcher &watcher)
{
    QVERIFY(watcher.cancelled);
    QVERIFY(watcher.waitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(m_boxes->texts().isEmpty());
}

void tst_Progress::cancelLoad_data()
{
    QTest::addColumn<bool>("startup");
    QTest::addColumn<bool>("autoExtract");
    QTest::addColumn<QString>("cancelAt");

    QTest::newRow("start-up") << true << false << reading;
    QTest::newRow("start-up, option on") << true << true << extracting;
    QTest::newRow("drop") << false << false << reading;
    QTest::newRow("drop, option on, reading") << false << true << reading;
    QTest::newRow("drop, option on, extracting") << false << true << extracting;
}

void tst_Progress::cancelLoad()
{
    QFETCH(bool, startup);
    QFETCH(bool, autoExtract);
    QFETCH(QString, cancelAt);

    const QString remembered = writeFile(m_dir->path(), QStringLiteral("avant.txt"),
                                         "avant@x.fr\n");
    const QString dropped = writeFile(m_dir->path(), QStringLiteral("liste.txt"),
                                      "\xEF\xBB\xBF" "Jean <jean@exemple.fr>, marie@exemple.fr\n");
    writeProfile(profileWithFile(startup ? dropped : remembered, autoExtract));
    const QByteArray profile = readProfile();
    const auto before = files();

    QString expected = placeholder;
    TEncoding encoding = TEncoding::None;
    std::unique_ptr<Watcher> watcher;
    if (startup) {
        watcher = std::make_unique<Watcher>(cancelAt);
        createForm();
    } else {
        createForm();
        expected = QStringLiteral("liste en cours");
        encoding = TEncoding::Unicode;
        m_memo->setPlainText(expected);
        m_memo->Lines()->SetEncoding(encoding);
        watcher = std::make_unique<Watcher>(cancelAt);
        dropFiles(m_memo, { dropped });
    }

    checkCancelled(*watcher);
    QCOMPARE(watcher->states.constLast(), cancelAt);
    QCOMPARE(text(), expected);
    QCOMPARE(m_memo->Lines()->Encoding(), encoding);
    QCOMPARE(readProfile(), profile);
    QVERIFY(files() == before);
}

void tst_Progress::cancelCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("cancelAt");
    QTest::addColumn<QString>("list");

    QTest::newRow("Extraire") << "Adrelio" << extracting
                              << "a@b, \"c d@e\"\nf g@h\n\"i@j\nk\"\n";
    // The sort reports once it has the keys of 65536 lines.
    QString lines;
    for (int i = 70000; i > 0; --i)
        lines += QStringLiteral("ligne%1@x.fr\n").arg(i);
    QTest::newRow("Trier la liste") << "SORT" << sorting << lines;
}

void tst_Progress::cancelCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, cancelAt);
    QFETCH(QString, list);

    createForm();
    m_memo->setPlainText(list);
    m_memo->Lines()->SetEncoding(TEncoding::BigEndianUnicode);
    const QString before = text();

    Watcher watcher(cancelAt);
    m_form->findChild<QAction *>(command)->trigger();
    checkCancelled(watcher);
    QCOMPARE(text(), before);
    QCOMPARE(m_memo->Lines()->Encoding(), TEncoding::BigEndianUnicode);
    QVERIFY(!QFile::exists(profilePath()));
}

void tst_Progress::cancelSave_data()
{
    QTest::addColumn<bool>("replacing");

    QTest::newRow("over a file") << true;
    QTest::newRow("new file") << false;
}

void tst_Progress::cancelSave()
{
    QFETCH(bool, replacing);

    if (replacing)
        writeFile(m_dir->path(), QStringLiteral("ADRESSES.TXT"), "ancien@contenu.fr\r\n");
    const auto before = files();
    createForm();
    m_memo->setPlainText(QStringLiteral("a@b\nc@d\n"));

    Watcher watcher(saving);
    whenModalOpens(this, [this](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialog->setDirectory(m_dir->path());
        QMetaObject::invokeMethod(dialog, "accept");
    });
    m_form->findChild<QAction *>(QStringLiteral("Enregistrer1"))->trigger();
    checkCancelled(watcher);
    QVERIFY(files() == before);
    QCOMPARE(text(), QStringLiteral("a@b\r\nc@d\r\n"));
}

// Handing the result to the area cannot be interrupted: the dialog says so and the
// operation ends.
void tst_Progress::lastStepCannotBeCancelled()
{
    createForm();
    m_memo->setPlainText(QStringLiteral("x a@b y\nc@d"));

    Watcher watcher(showing);
    m_form->findChild<QAction *>(QStringLiteral("Extract"))->trigger();
    QCOMPARE(watcher.states, (QStringList{ extracting, showing + QStringLiteral(" (bloqué)") }));
    QCOMPARE(watcher.dialog, applicationTitle() + QStringLiteral("|Annuler|modal"));
    QVERIFY(!watcher.cancelled);
    QVERIFY(watcher.waitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(text(), QStringLiteral("a@b\r\nc@d\r\n"));
}

void tst_Progress::failedLoadRestoresCursor()
{
    createForm();
    dropFiles(m_memo, { m_dir->filePath(QStringLiteral("absent.txt")) });
    QCOMPARE(m_boxes->texts().size(), 1);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(text(), placeholder);
}

// Both drops are taken before the first load starts, and that load lets events through
// while its dialog is up.
void tst_Progress::dropWaitsForTheLoadBefore()
{
    createForm();
    const QString first = writeFile(m_dir->path(), QStringLiteral("premier.txt"), "premier@x.fr\n");
    const QString second = writeFile(m_dir->path(), QStringLiteral("second.txt"), "second@x.fr\n");
    QVERIFY(sendDrop(m_memo, localUrls({ first })));
    QVERIFY(sendDrop(m_memo, localUrls({ second })));
    QTRY_COMPARE(text(), QStringLiteral("second@x.fr\r\n"));
    QCOMPARE(GetStr(QStringLiteral("FICHIER"), QStringLiteral("IMPORT"), QString(), QString()), second);
    QVERIFY(m_boxes->texts().isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(tst_Progress)

#include "tst_progress.moc"
