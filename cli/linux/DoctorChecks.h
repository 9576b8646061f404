#pragma once

#include "cli/DoctorFinding.h"
#include "cli/linux/DoctorFacts.h"

#include <QList>

// Every finding from the facts: a line per present port, then what needs fixing.
QList<DoctorFinding> diagnose(const DoctorFacts &facts);
