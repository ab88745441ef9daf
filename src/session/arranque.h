#pragma once

struct Session;
class Molvarentrada;

// Shows the start-up window; a successful login shows the main window in its place.
// Both windows delete themselves when closed.
Molvarentrada *iniciaPrograma(Session &s);
