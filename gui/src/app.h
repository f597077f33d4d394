#pragma once

// Registers the compiled-in images (icons, background, button pictures).
void haldorinInitResources();
