// Fails when a source file includes a file of a higher layer, or the window or logic half of a
// subsystem that comes later in the order of the subsystems. The layer of a source file is the
// library its folder's CMakeLists.txt puts it in; a header shares the layer of its source file.
// It also fails on a breach of the architecture's invariants that the text of a file shows:
// entries written outside the journal gate, SQL run outside the data layer's one entry point,
// a widget header in the core or the report engine, SQL in the shared widgets, and the per-user
// current archive read below the program.
//
// Usage: tovrin3-layercheck SOURCE_ROOT
// Prints one line per offence and exits 1; exits 0 when there is none.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

enum class Layer { Core, Logic, Engine, Ui, Windows, Program };

int rank(Layer layer)
{
    switch (layer) {
    case Layer::Core:
        return 0;
    case Layer::Logic:
    case Layer::Engine:
        return 1;
    case Layer::Ui:
        return 2;
    case Layer::Windows:
        return 3;
    case Layer::Program:
        return 4;
    }
    return 4;
}

QString layerName(Layer layer)
{
    static const char *const names[] = {"core", "logic",   "report engine",
                                        "ui",   "windows", "program"};
    return QString::fromLatin1(names[static_cast<int>(layer)]);
}

std::optional<Layer> layerOfTarget(const QString &target)
{
    static const QHash<QString, Layer> libraries = {
        {u"tovrin3_core"_s, Layer::Core},
        {u"tovrin3_logic"_s, Layer::Logic},
        {u"tovrin3_reportengine"_s, Layer::Engine},
        {u"tovrin3_ui"_s, Layer::Ui},
        {u"tovrin3_windows"_s, Layer::Windows},
        {u"tovrin3_program"_s, Layer::Program},
        {u"tovrin3_dashboardcharts"_s, Layer::Windows},
    };
    const auto found = libraries.constFind(target);
    if (found != libraries.constEnd())
        return *found;
    return std::nullopt;
}

// Subsystems whose windows and logic may use only those earlier in this order.
std::optional<int> subsystemOrder(const QString &subsystem)
{
    static const QHash<QString, int> order = {
        {u"chart"_s, 0},     {u"journal"_s, 1},   {u"yearend"_s, 2},    {u"archive"_s, 2},
        {u"settings"_s, 2},  {u"reports"_s, 2},   {u"statements"_s, 2}, {u"bankimport"_s, 2},
        {u"einvoices"_s, 2}, {u"dashboard"_s, 3}, {u"main"_s, 4},
    };
    const auto found = order.constFind(subsystem);
    if (found != order.constEnd())
        return *found;
    return std::nullopt;
}

QString subsystemOf(const QString &relativePath)
{
    return relativePath.section(u'/', 0, 0);
}

QString withoutExtension(const QString &relativePath)
{
    return relativePath.left(relativePath.lastIndexOf(u'.'));
}

// The layer of each source file named in a CMakeLists.txt, by its path under the root.
struct LayerMap {
    QHash<QString, Layer> byStem;
    QStringList problems;
};

void readCMakeLists(const QDir &root, const QString &listPath, LayerMap &map)
{
    QFile file(listPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString text = QString::fromUtf8(file.readAll());
    const QString folder = root.relativeFilePath(QFileInfo(listPath).path());
    static const QRegularExpression command(
        uR"re((target_sources|add_library|add_executable)\s*\(\s*([A-Za-z0-9_.-]+)([^)]*)\))re"_s);
    static const QRegularExpression sourceFile(uR"(([A-Za-z0-9_./-]+\.cpp))"_s);
    for (auto match = command.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        const QString target = found.captured(2);
        std::optional<Layer> layer = layerOfTarget(target);
        if (!layer && found.captured(1) == u"add_executable"_s)
            layer = Layer::Program;
        for (auto file = sourceFile.globalMatch(found.captured(3)); file.hasNext();) {
            const QString name = file.next().captured(1);
            const QString path = QDir::cleanPath(folder == u"."_s ? name : folder + u'/' + name);
            if (!layer) {
                map.problems.append(u"%1: %2 belongs to %3, a library of no known layer"_s.arg(
                    QDir(root).relativeFilePath(listPath), name, target));
                continue;
            }
            map.byStem.insert(withoutExtension(path), *layer);
        }
    }
}

LayerMap readLayers(const QDir &root)
{
    LayerMap map;
    QDirIterator lists(root.path(), {u"CMakeLists.txt"_s}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (lists.hasNext())
        readCMakeLists(root, lists.next(), map);
    return map;
}

// A header without a source file of its own takes the layer its folder stands for.
Layer folderLayer(const QString &relativePath)
{
    const QString subsystem = subsystemOf(relativePath);
    if (subsystem == u"data"_s)
        return Layer::Core;
    if (subsystem == u"ui"_s)
        return Layer::Ui;
    if (subsystem == u"reportengine"_s)
        return Layer::Engine;
    if (subsystemOrder(subsystem))
        return Layer::Logic;
    return Layer::Program;
}

Layer layerOf(const LayerMap &map, const QString &relativePath)
{
    return map.byStem.value(withoutExtension(relativePath), folderLayer(relativePath));
}

// Why the include is not allowed, or nothing when it is.
std::optional<QString> refusal(const QString &from, Layer fromLayer, const QString &to,
                               Layer toLayer)
{
    const bool engineFromLogic = fromLayer == Layer::Logic && toLayer == Layer::Engine;
    if (rank(toLayer) > rank(fromLayer) ||
        (rank(toLayer) == rank(fromLayer) && fromLayer != toLayer && !engineFromLogic))
        return u"%1 includes from a higher layer"_s.arg(layerName(fromLayer));
    // The shared widgets serve every subsystem, so they know none of them.
    if (fromLayer == Layer::Ui && toLayer == Layer::Logic)
        return u"ui may not use the logic of a subsystem"_s;
    const QString fromSubsystem = subsystemOf(from), toSubsystem = subsystemOf(to);
    const auto fromOrder = subsystemOrder(fromSubsystem), toOrder = subsystemOrder(toSubsystem);
    const bool ordered = toLayer == Layer::Logic || toLayer == Layer::Windows;
    if (ordered && fromOrder && toOrder && fromSubsystem != toSubsystem && *toOrder >= *fromOrder)
        return u"%1 may not use %2, which comes later or beside it"_s.arg(fromSubsystem,
                                                                          toSubsystem);
    return std::nullopt;
}

// The header names of Qt's widgets module, which the core and the report engine never include.
const QSet<QString> &widgetHeaders()
{
    static const QSet<QString> names = [] {
        const QStringList files =
            QDir(QStringLiteral(TOVRIN_QT_WIDGETS_INCLUDE)).entryList(QDir::Files);
        return QSet<QString>(files.cbegin(), files.cend());
    }();
    return names;
}

struct TextRule {
    QRegularExpression pattern;
    QString why;
    std::function<bool(const QString &file, Layer layer)> applies;
};

const QList<TextRule> &textRules()
{
    static const auto outside = [](const QStringList &allowed) {
        return [allowed](const QString &file, Layer) { return !allowed.contains(file); };
    };
    static const QList<TextRule> rules{
        {QRegularExpression(
             uR"re(\b(INSERT\s+(OR\s+\w+\s+)?INTO|REPLACE\s+INTO|UPDATE|DELETE\s+FROM)\s+"?(regmain|regdet)\b)re"_s,
             QRegularExpression::CaseInsensitiveOption),
         u"only the journal gate writes entries"_s,
         outside({u"data/JournalGate.cpp"_s, u"data/JournalGateMaintenance.cpp"_s,
                  // The monthly totals' triggers and the copy between engines.
                  u"data/MonthlyTotals.cpp"_s, u"data/ServerMigration.cpp"_s})},
        {QRegularExpression(uR"re(\b(prepare|exec)\(\s*[^)\s])re"_s),
         u"every SQL statement goes through runSql"_s, outside({u"data/Database.cpp"_s})},
        {QRegularExpression(uR"re(\brunSql\(|\bQSqlQuery\b)re"_s),
         u"the shared widgets run no SQL of a subsystem"_s,
         [](const QString &, Layer layer) { return layer == Layer::Ui; }},
        {QRegularExpression(
             uR"re(\bm_(cmd|pic|img|dat|txt|mnu|pop|lbl|cbo|cmb|chk|opt|fra|lst|grd)[A-Z0-9_]\w*)re"_s),
         u"members are named for what they are, not for the type of their control"_s,
         [](const QString &, Layer) { return true; }},
        {QRegularExpression(uR"re(\.dataFolder\(\))re"_s),
         u"the current archive is handed down, never read from the settings below the program"_s,
         [](const QString &, Layer layer) { return layer != Layer::Program; }},
    };
    return rules;
}

// The offences against the invariants in the text of one file.
QStringList textProblems(const QString &from, Layer layer, const QString &text)
{
    QStringList problems;
    const auto lineOf = [&](qsizetype at) { return text.left(at).count(u'\n') + 1; };
    for (const TextRule &rule : textRules()) {
        if (!rule.applies(from, layer))
            continue;
        for (auto match = rule.pattern.globalMatch(text); match.hasNext();) {
            const auto found = match.next();
            problems.append(u"%1:%2: %3: %4"_s.arg(
                from, QString::number(lineOf(found.capturedStart())), found.captured(0), rule.why));
        }
    }
    if (layer != Layer::Core && layer != Layer::Engine)
        return problems;
    static const QRegularExpression systemInclude(uR"re(^\s*#\s*include\s+<([^>]+)>)re"_s,
                                                  QRegularExpression::MultilineOption);
    for (auto match = systemInclude.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        const QString header = found.captured(1);
        if (header.startsWith(u"QtWidgets"_s) || widgetHeaders().contains(header))
            problems.append(u"%1:%2: #include <%3>: %4 includes no widget header"_s.arg(
                from, QString::number(lineOf(found.capturedStart())), header, layerName(layer)));
    }
    return problems;
}

int check(const QDir &root)
{
    const LayerMap map = readLayers(root);
    QStringList problems = map.problems;
    static const QRegularExpression include(uR"re(^\s*#\s*include\s+"([^"]+)")re"_s,
                                            QRegularExpression::MultilineOption);
    QDirIterator sources(root.path(), {u"*.cpp"_s, u"*.h"_s}, QDir::Files,
                         QDirIterator::Subdirectories);
    while (sources.hasNext()) {
        const QString path = sources.next();
        const QString from = root.relativeFilePath(path);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        const Layer fromLayer = layerOf(map, from);
        problems += textProblems(from, fromLayer, text);
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const auto found = match.next();
            const QString to = found.captured(1);
            if (!QFileInfo::exists(root.filePath(to)))
                continue;
            const Layer toLayer = layerOf(map, to);
            if (const auto why = refusal(from, fromLayer, to, toLayer)) {
                const int line = text.left(found.capturedStart()).count(u'\n') + 1;
                problems.append(u"%1:%2: #include \"%3\" (%4 of %5): %6"_s.arg(
                    from, QString::number(line), to, layerName(toLayer), subsystemOf(to), *why));
            }
        }
    }
    QTextStream out(stdout);
    for (const QString &problem : std::as_const(problems))
        out << problem << '\n';
    return problems.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fputs("Uso: tovrin3-layercheck CARTELLA_SORGENTI\n", stderr);
        return 2;
    }
    return check(QDir(QFileInfo(args.at(1)).absoluteFilePath()));
}
