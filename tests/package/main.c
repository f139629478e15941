/* Starts the sampler, reads the stutter risk, stops. */
#include <stdio.h>
#include <windows.h>

#include <zelkor.h>

int main(void) {
    if (QTM_Start() != 1) return 1;
    Sleep(500);
    double risk = QTM_GetStutterRisk();
    QTM_Stop();
    printf("stutter risk %.3f\n", risk);
    return risk >= 0.0 && risk <= 1.0 ? 0 : 1;
}
