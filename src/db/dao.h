// The data-access objects the task code is written against: engine, workspace, database,
// recordset, fields.
#pragma once

#include "db/dao_database.h"
#include "db/dao_engine.h"
#include "db/dao_errors.h"
#include "db/dao_recordset.h"
