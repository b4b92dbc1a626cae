#pragma once

#include <cstdlib>

namespace utility {

// Base of the program-wide service objects (message and server catalogues, saved data):
// getInstance() creates the one instance with new on first use, which happens on the GUI
// thread during start-up, so no lock is taken. A clean-up registered with atexit during static
// initialisation deletes the instance at process exit through the virtual destructor.
template <class T> class SingleTon {
public:
    static T* getInstance();
    virtual ~SingleTon() = default;

    SingleTon(const SingleTon&) = delete;
    SingleTon& operator=(const SingleTon&) = delete;

protected:
    SingleTon() = default;

private:
    static void destroyInstance();

    static T* instance;
    static const bool cleanupRegistered;
};

template <class T> T* SingleTon<T>::instance = nullptr;

// Initialised during static initialisation of every program that asks for the instance.
template <class T>
const bool SingleTon<T>::cleanupRegistered = std::atexit(&SingleTon<T>::destroyInstance) == 0;

template <class T> T* SingleTon<T>::getInstance() {
    // Naming the flag here is what makes the compiler emit its initialiser, and with it the
    // exit-time registration.
    static_cast<void>(cleanupRegistered);
    if (instance == nullptr) {
        instance = new T;
    }
    return instance;
}

template <class T> void SingleTon<T>::destroyInstance() {
    SingleTon<T>* doomed = instance;
    instance = nullptr;
    delete doomed;
}

} // namespace utility
