#pragma once

class QCommandLineParser;

namespace telmo::app {

// Declares every option of the report command on the parser, with the help texts --help
// shows; ReportOptions reads and checks their values.
void DeclareOptions(QCommandLineParser& parser);

} // namespace telmo::app
