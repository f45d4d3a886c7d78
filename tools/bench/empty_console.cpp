// The benchmark's scale: a console program that does nothing, built as the shipped ones are.
int main()
{
    return 0;
}
