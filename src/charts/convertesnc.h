#pragma once

class QWidget;
struct Session;

// Rewrites the debit and credit accounts of the accrual rows to the SNC chart, by the
// outside database's conversion table SNC_Conv, and marks every company converted, in one
// transaction that the user confirms at the end. Rows of companies already marked converted
// are left alone, so running it again never converts a code twice. True when committed
// (then s.gSnc is true).
bool ConverteSnc(Session &s, QWidget *pai);
