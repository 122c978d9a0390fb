/* The floor for the start-up benchmark: a C program that does the smallest CGI answer. */
#include <stdio.h>

int main(void)
{
    puts("Content-type: application/text;charset=utf-8\n");
    printf("%s", "{ }");
    return 0;
}
