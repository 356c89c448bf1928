#pragma once

#include <QString>

// Runs the abuse cases (or only case `only`), writing into `dir`; 0 when every case ended as it must.
int RunAbuseCases(const QString& dir, int only = -1);
