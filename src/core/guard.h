#pragma once

struct Session;

// The menu guard: true when a company and a processing year and month are set;
// otherwise "Dados iniciais não inicializados!" and false.
bool VerificaDadosInic(Session &s);
