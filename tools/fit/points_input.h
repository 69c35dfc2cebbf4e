// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's input: a points file or a plain table, told apart by its first block and read block by
// block into the point table, so memory stays the table and one block whatever the input.
#ifndef KELVORA_POINTS_INPUT_H
#define KELVORA_POINTS_INPUT_H

#include <stdio.h>

#include "app_state.h"
#include "fit_problem.h"
#include "plain_table.h"

// Reads the stream (its name in messages: name) into table: a plain table when columns is set or the
// first block looks like one (columns.x > 0 picks its X and Y), else a points file. Numbers are finite
// decimals. Returns false, with one line on standard error, when the input cannot be used or holds no
// point; what it read besides the points it holds (a short count, numbers after them, decimal commas)
// is said on standard error too.
// With sigma (room for POINT_CAPACITY), each point also carries sigma of Y: a third column of a plain
// table (pick.sigma), or a third number per point of a points file.
// With texts, the text of each X and Y as the input writes it is kept there too.
// With sigmaX too, each point carries sigma of X and of Y: X Y SIGMA_X SIGMA_Y (pick.sigmaX, pick.sigma);
// *wrongShape is set when the input holds three numbers per point instead.
bool readInput(FILE* file, const char* name, bool columns, ColumnChoice pick, PointTable* table,
               double* sigma = nullptr, InputTexts* texts = nullptr, double* sigmaX = nullptr,
               bool* wrongShape = nullptr);

// One line for the user saying why the table could not be read ("line 3: \"kg\" is not a number"), in
// the points file's words where the two meet.
void describePlainTable(char* text, size_t capacity, const PlainTableReport* report, ColumnChoice columns);

// readInput of the file named path ("-": standard input), opened as the program opens files: only a
// regular file, never a pipe or a device.
bool readInputFile(const char* path, const char* name, bool columns, ColumnChoice pick, PointTable* table,
                   double* sigma = nullptr, InputTexts* texts = nullptr, double* sigmaX = nullptr,
                   bool* wrongShape = nullptr);

// readInputFile into the store: its table, its sigma (and sigma of X) when it has room for them, and
// the texts of X and Y when it keeps them; store->wrongShape as readInput sets it.
bool readInputFile(const char* path, const char* name, bool columns, ColumnChoice pick, PointStore* store);

#endif
