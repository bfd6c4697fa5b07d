// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <vector>

// A PulseAudio server of the test's own with one null sink, in a private runtime folder: the
// machine's sound is neither used nor changed. Clients of this process reach it through
// PULSE_SERVER, which must be set before the first sound device is looked up.
class PrivateSoundServer
{
  public:
    static constexpr int recordingRate = 48000;

    PrivateSoundServer()
    {
        const QString folder = runtime_.path();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "PULSE_RUNTIME_PATH"})
            environment.insert(name, folder);
        server_.setProcessEnvironment(environment);
        server_.start(
            "pulseaudio",
            {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
             "module-null-sink sink_name=test_sink rate=48000", "-L",
             "module-native-protocol-unix auth-anonymous=1 socket=" + folder + "/native"});
        qputenv("PULSE_SERVER", ("unix:" + folder + "/native").toUtf8());
        qputenv("PULSE_SINK", "test_sink");
    }

    ~PrivateSoundServer()
    {
        recorder_.kill();
        recorder_.waitForFinished();
        server_.kill();
        server_.waitForFinished();
    }

    // Waits until the server listens.
    bool isUp()
    {
        return QTest::qWaitFor([&] { return QFileInfo::exists(runtime_.filePath("native")); },
                               5000);
    }

    // Records the sink's monitor, one channel of 16-bit samples, until the recorder is killed.
    bool startRecording()
    {
        recorder_.start("parec",
                        {"-d", "test_sink.monitor", "--raw", "--format=s16le", "--channels=1",
                         "--rate=" + QString::number(recordingRate), "--latency-msec=5"});
        return QTest::qWaitFor([&] { return recordedFrames() > recordingRate / 20; }, 5000);
    }

    // How many frames have arrived so far.
    std::size_t recordedFrames()
    {
        recorded_ += recorder_.readAllStandardOutput();
        return std::size_t(recorded_.size()) / sizeof(std::int16_t);
    }

    std::vector<std::int16_t> recording(std::size_t from, std::size_t to)
    {
        recordedFrames();
        to = std::min(to, std::size_t(recorded_.size()) / sizeof(std::int16_t));
        const auto *samples = reinterpret_cast<const std::int16_t *>(recorded_.constData());
        return from < to ? std::vector<std::int16_t>(samples + from, samples + to)
                         : std::vector<std::int16_t>{};
    }

  private:
    QTemporaryDir runtime_;
    QProcess server_;
    QProcess recorder_;
    QByteArray recorded_;
};
