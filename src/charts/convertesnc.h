#pragma once

class QWidget;
struct Session;

// Rewrites the debit and credit accounts of the accrual rows to the SNC chart, by the
// outside database's conversion table SNC_Conv, and marks every company converted, in one
// transaction that the user confirms at the end. Only rows of companies whose ParamFirma
// row says not converted are rewritten, so running it again never converts a code twice;
// rows of a company without parameters are counted and told before the closing question.
// True when committed. The session's s.gSnc keeps its value: the next login reads the new flag.
bool ConverteSnc(const Session &s, QWidget *pai);
