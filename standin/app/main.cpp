// The headless stand-in host: loads plug-in libraries, reads a scene,
// optionally runs a scripted session at the user interface, evaluates every
// node that has modifiers and writes each one's shape.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstring>
#include <memory>

#include "scene.h"
#include "standin/user.h"
#include "uisession.h"

namespace {

// Pictures of the user interface need fonts, and so a GUI application; it
// runs offscreen unless told otherwise.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ui-script", 11) == 0) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName("carvex-host");
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser cli;
    cli.setApplicationDescription(
        "Evaluates a scene the way the host does and writes the shape of every node that has "
        "modifiers to OUT/NODE.svg (or .json).");
    cli.addHelpOption();
    cli.addPositionalArgument("scene", "The scene file (JSON).");
    QCommandLineOption plugin({"p", "plugin"}, "A plug-in library to load (repeatable).", "file");
    QCommandLineOption outDir({"o", "out"}, "Folder for the result shapes.", "folder", ".");
    QCommandLineOption format({"f", "format"}, "Result file format: svg, json or png.", "format",
                              "svg");
    QCommandLineOption save({"s", "save"}, "Save the scene again to this file.", "file");
    QCommandLineOption time({"t", "time"}, "Evaluate at this time (overrides the scene).", "ticks");
    QCommandLineOption uiScript("ui-script",
                                "Run this scripted session at the user interface first (see "
                                "standin/examples/session.txt).",
                                "file");
    QCommandLineOption uiPng("ui-png", "Save the rollouts as a PNG picture after each command.",
                             "folder");
    QCommandLineOption uiScale("ui-scale", "Enlarge the pictures this many times.", "factor", "1");
    cli.addOptions({plugin, outDir, format, save, time, uiScript, uiPng, uiScale});
    cli.process(*app);

    if (cli.positionalArguments().size() != 1) {
        err << "carvex-host: give one scene file (see --help)\n";
        return 2;
    }
    QStringList plugins = cli.values(plugin);
    if (plugins.isEmpty()) plugins << QStringLiteral(CARVEX_DEFAULT_PLUGIN);

    std::vector<std::unique_ptr<standin::PluginLibrary>> libraries;
    QVector<const standin::PluginLibrary*> loaded;
    for (const QString& path : plugins) {
        auto lib = std::make_unique<standin::PluginLibrary>();
        QString why;
        if (!lib->load(path, &why)) {
            err << "carvex-host: " << why << "\n";
            return 1;
        }
        out << "loaded " << path << " (" << lib->description() << ")\n";
        loaded.push_back(lib.get());
        libraries.push_back(std::move(lib));
    }

    int status = 0;
    {
        // The scene goes before the libraries whose code its modifiers run.
        standin::Scene scene(loaded);
        QString why;
        if (!scene.load(cli.positionalArguments().first(), &why)) {
            err << "carvex-host: " << why << "\n";
            return 1;
        }
        if (cli.isSet(time)) scene.time = cli.value(time).toInt();
        if (cli.isSet(uiScript)) {
            // Message boxes and save dialogs of the session ask on the terminal.
            standin::TerminalUser terminal;
            standin::setCurrentUser(&terminal);
            const bool ran = standin::runUiSession(scene, cli.value(uiScript), cli.value(uiPng),
                                                   cli.value(uiScale).toInt(), out, &why);
            standin::setCurrentUser(nullptr);
            if (!ran) {
                out.flush();
                err << "carvex-host: " << why << "\n";
                return 1;
            }
        }
        QStringList written;
        if (!scene.writeResults(cli.value(outDir), cli.value(format), &written, &why)) {
            err << "carvex-host: " << why << "\n";
            status = 1;
        }
        for (const QString& w : written)
            out << "wrote " << w << "\n";
        // What each modified node came to, at a glance.
        for (INode* node : scene.modifiedNodes()) {
            BezierShape* shape = scene.evaluate(node);
            if (!shape) continue;
            int knots = 0;
            for (int i = 0; i < shape->SplineCount(); ++i)
                knots += shape->GetSpline(i)->KnotCount();
            Point3 low, high;
            shape->GetBounds(low, high);
            out << QString::fromWCharArray(node->GetName()) << ": " << shape->SplineCount()
                << " spline(s), " << knots << " knot(s), bounds (" << low.x << ", " << low.y
                << ") to (" << high.x << ", " << high.y << ")\n";
        }
        if (status == 0 && cli.isSet(save)) {
            if (scene.save(cli.value(save), &why)) {
                out << "saved " << cli.value(save) << "\n";
            } else {
                err << "carvex-host: " << why << "\n";
                status = 1;
            }
        }
    }
    return status;
}
