// 1,000 mails to a local SMTP server (tools/smtp-test-server.py, writing
// nothing), each on a connection of its own as the program sends them: our
// SMTP client against Python's smtplib doing the same in the same run.
#include "mail/MailSender.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMails = 1000;

std::string python() {
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// The server for the whole run.
struct Server {
    fs::path dir;
    pid_t pid = 0;
    int port = 0;
    Server() {
        std::string t = (fs::temp_directory_path() / "qdmailbench-XXXXXX").string();
        dir = mkdtemp(t.data());
        const std::string portFile = (dir / "port").string();
        pid = fork();
        if (pid == 0) {
            execlp(python().c_str(), python().c_str(), QD_MAIL_SERVER_SCRIPT, "--dir", dir.c_str(),
                   "--port-file", portFile.c_str(), "--no-files", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::ifstream f(portFile);
            if (!(f >> port)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~Server() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir);
    }
};

Server& server() {
    static Server s;
    return s;
}

const std::string kBody(2000, 'x');

void BM_MailSender(benchmark::State& state) {
    const std::string host = "127.0.0.1:" + std::to_string(server().port);
    for (auto _ : state) {
        for (int i = 0; i < kMails; ++i) {
            qd::MailSender m;
            m.SetMailHost(host);
            m.SetFrom("\"Bench\" <bench@example.org>");
            m.SetReturnPath("bench@example.org");
            m.SetSubject("Mail " + std::to_string(i));
            m.AddTo("Reader", "reader@example.org");
            m.SetMessageText(kBody, 6);
            if (m.Send() != 0) {
                state.SkipWithError("a send failed");
                return;
            }
        }
    }
    state.counters["mails/s"] =
        benchmark::Counter(double(kMails) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MailSender)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonSmtplib(benchmark::State& state) {
    const std::string script =
        "import smtplib,sys\n"
        "from email.message import EmailMessage\n"
        "port=int(sys.argv[1])\n"
        "for i in range(" +
        std::to_string(kMails) +
        "):\n"
        "    m=EmailMessage(); m['From']='Bench <bench@example.org>'; m['To']='Reader <reader@example.org>'\n"
        "    m['Subject']='Mail %d' % i; m.set_content('x'*2000)\n"
        "    with smtplib.SMTP('127.0.0.1', port) as s: s.send_message(m)\n";
    const fs::path file = server().dir / "send.py";
    std::ofstream(file) << script;
    const std::string cmd = python() + " " + file.string() + " " + std::to_string(server().port);
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("smtplib failed");
            return;
        }
    }
    state.counters["mails/s"] =
        benchmark::Counter(double(kMails) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PythonSmtplib)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
