#pragma once

// cost-export's command line:
//   cost-export (--db URI | --server HOST:PORT[,HOST:PORT...] --db URI) --branch 0001 --service 001
//               --month 2026-03 --cost-type 44 [--cost-type-real N] [--cost-branch 0002]
//               --out FILE.xlsx|FILE.csv [--operator NAME] [--module-ativo N]

#include "platform/protocol/netconnection.h"
#include "platform/toolkit/data/variant.h"

#include <string>
#include <vector>

namespace costexport {

struct ExportOptions
{
    std::string db;                     // the suite database the window's local queries read
    std::vector<tk::ServerAddress> servers; // empty: a server runs in-process over db
    std::string branch, service;
    int year = 0, month = 0;
    int costType = 0;
    int costTypeReal = -1; // -1: the same as costType
    std::string costBranch;
    std::string out;
    std::string operatorName = "cost-export";
    int moduloAtiv = 0;
    // The figures beside the specified ones (confidence, variance split) and their sheets.
    bool indicadores = false;
    double limiteConfianca = 5;
    bool help = false;

    bool csv() const; // --out ends in .csv
    tk::TDateTime firstDay() const;
};

const char *exportUsage();

// Parses the arguments after the program name; false with `error` for a bad command line.
bool parseExportOptions(const std::vector<std::string> &args, ExportOptions &out, std::string &error);

} // namespace costexport
