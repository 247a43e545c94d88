// endProgram ends the process at once, from wherever it is called, with the code
// it is given and with the output written so far; the exit action runs once.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <QTest>

#include "common/KeptTexts.h"
#include "ui/QtProgram.h"

using namespace chengfan;

class ProgramEndTest : public QObject {
    Q_OBJECT

    // Runs body in a child process; gives its exit status and what it wrote to
    // standard output.
    static std::pair<int, QByteArray> inChild(const std::function<void()>& body) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return {-1, {}};
        const pid_t child = fork();
        if (child == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
            body();
            std::_Exit(99);  // endProgram returned
        }
        close(pipeFds[1]);
        QByteArray output;
        char buffer[256];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, n);
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        return {status, output};
    }

private slots:
    void endsAtOnceWithTheCodeAndTheOutputWritten() {
        struct Case {
            int code;
        };
        for (const Case c : {Case{0}, Case{3}}) {
            const auto [status, output] = inChild([code = c.code] {
                common::KeptTexts kept;
                kept.taskUrlText = "http://127.0.0.1/a.php";
                ui::QtProgram program(kept);
                std::printf("before the end");  // still buffered when the end comes
                program.endProgram(code);
            });
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), c.code);
            QCOMPARE(output, QByteArray("before the end"));
        }
    }

    void exitActionRunsOnce() {
        common::KeptTexts kept;
        ui::QtProgram program(kept);
        kept.loopMinutesText = "5";
        kept.newSavePathText = "a.html";
        program.runExitAction();
        QVERIFY(kept.loopMinutesText.empty());
        QVERIFY(kept.newSavePathText.empty());
        // A slot written after the end is not released by a second call: the action
        // ran already.
        kept.loopMinutesText = "7";
        program.runExitAction();
        QCOMPARE(kept.loopMinutesText, std::string("7"));
    }
};

QTEST_GUILESS_MAIN(ProgramEndTest)
#include "ProgramEndTest.moc"
