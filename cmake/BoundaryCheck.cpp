// The entry of a boundary check (cmake/Boundaries.cmake): a program made of
// one whole library and the libraries it names, never run. It only has to
// link.
int main()
{
    return 0;
}
