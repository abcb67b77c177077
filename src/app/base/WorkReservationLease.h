#pragma once

#include "app/base/ImageResourceStore.h"

#include <memory>

namespace vorlith {

// Transient work held in the memory budget for as long as the lease lives: ended in the store
// that issued it when the lease goes (whoever holds it last, on whatever path), if that store
// is still there. Main thread only, like the store.
class WorkReservationLease {
public:
    WorkReservationLease(std::weak_ptr<ImageResourceStore> store, ImageResourceStore::WorkReservation reservation)
        : m_store(std::move(store)), m_reservation(reservation)
    {
    }
    ~WorkReservationLease()
    {
        if (const std::shared_ptr<ImageResourceStore> store = m_store.lock())
            store->finishWork(m_reservation);
    }
    WorkReservationLease(const WorkReservationLease&) = delete;
    WorkReservationLease& operator=(const WorkReservationLease&) = delete;

    const ImageResourceStore::WorkReservation& reservation() const { return m_reservation; }

private:
    std::weak_ptr<ImageResourceStore> m_store;
    ImageResourceStore::WorkReservation m_reservation;
};

} // namespace vorlith
